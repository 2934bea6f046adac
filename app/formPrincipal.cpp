#include "app/formPrincipal.h"

#include "app/report_model.h"
#include "app/report_view.h"
#include "config/cg_config.h"
#include "config/funciones.h"
#include "config/version.h"
#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "platform/spreadsheet/excel_application.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/numbers.h"
#include "platform/runtime/strings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>
#include <QToolButton>

#include <optional>


const QString TfrmPrincipal::filtroAbrir = QStringLiteral("Excel Files (*.xls, *.xlsx)|*.xls;*.xlsx");
const QString TfrmPrincipal::archivoTahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

bool TfrmPrincipal::cargoFuenteDelFormulario() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::hasFamily(tahoma)) return true;
    QFontDatabase::addApplicationFont(archivoTahoma);
    return QFontDatabase::hasFamily(tahoma);
}

namespace {

QLabel* etiqueta(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Labels size themselves to their caption from where they stand, so a
    // wider font than the form's never cuts them.
    label->resize(label->sizeHint().expandedTo(QSize(width, height)));
    return label;
}

QFrame* panel(QWidget* parent, int left, int top, int width, int height) {
    auto* frame = new QFrame(parent);
    frame->setGeometry(left, top, width, height);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(1);
    return frame;
}

// A speed button: flat-looking push button that never takes the focus.
QToolButton* botonRapido(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                         const QString& picture = {}) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setGeometry(left, top, width, height);
    button->setFocusPolicy(Qt::NoFocus);
    if (!picture.isEmpty()) {
        button->setIcon(QIcon(picture));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    return button;
}

// A label sized to a font wider than the form's would run under the control
// after it; that control then starts after the label and keeps its right edge.
void dejoLugarTras(const QLabel* etiqueta, QWidget* siguiente) {
    constexpr int separacion = 4;
    const int desde = etiqueta->geometry().right() + 1 + separacion;
    if (desde <= siguiente->x()) return;
    QRect lugar = siguiente->geometry();
    lugar.setLeft(desde);
    siguiente->setGeometry(lugar);
}

QComboBox* listaDesplegable(QWidget* parent, int left, int top, int width, int height) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    combo->setGeometry(left, top, width, height);
    return combo;
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(QStringList argumentos, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      argumentos_(std::move(argumentos)) {
    crearControles();
}

TfrmPrincipal::~TfrmPrincipal() = default;

void TfrmPrincipal::crearControles() {
    Q_INIT_RESOURCE(formPrincipal);
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("importaguias"));
    QFont fuente(QStringLiteral("Tahoma"));
    fuente.setPixelSize(11);
    setFont(fuente);
    setFixedSize(609, 360);
    if (const QScreen* pantalla = QGuiApplication::primaryScreen())
        move(pantalla->availableGeometry().center() - rect().center());

    Panel1 = panel(this, 0, 0, 609, 65);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Label2 = etiqueta(Panel1, QStringLiteral("Archivo:"), 21, 13, 40, 13);
    txtArchivo = new QLineEdit(Panel1);
    txtArchivo->setGeometry(71, 10, 394, 21);
    txtArchivo->setReadOnly(true);
    SpeedButton1 = botonRapido(Panel1, QStringLiteral("..."), 471, 9, 23, 22);
    Label1 = etiqueta(Panel1, QStringLiteral("Tipo: "), 21, 40, 27, 13);
    cmbTipo = listaDesplegable(Panel1, 71, 37, 107, 21);
    cmbTipo->addItems({QStringLiteral("INGRESO"), QStringLiteral("EGRESO")});
    cmbTipo->setCurrentIndex(0);
    Label3 = etiqueta(Panel1, QStringLiteral("Manifiesto"), 191, 40, 49, 13);
    cmbManifiesto = listaDesplegable(Panel1, 246, 37, 219, 21);
    btnProcesar = botonRapido(Panel1, QStringLiteral("Procesar"), 510, 10, 88, 48,
                              QStringLiteral(":/formPrincipal/engranaje.xpm"));
    dejoLugarTras(Label2, txtArchivo);
    dejoLugarTras(Label1, cmbTipo);
    dejoLugarTras(Label3, cmbManifiesto);

    filas = new ReportModel({{QStringLiteral("Conocimiento"), 100, Qt::AlignLeft},
                             {QStringLiteral("Master"), 100, Qt::AlignLeft},
                             {QStringLiteral("Consignatario"), 220, Qt::AlignLeft},
                             {QStringLiteral("Peso"), 80, Qt::AlignRight},
                             {QStringLiteral("Bultos"), 80, Qt::AlignRight}},
                            this);
    lista = new ReportView(this);
    lista->setGeometry(0, 65, 609, 247);
    lista->setModel(filas);
    lista->setShowGrid(true);
    lista->setSelectionBehavior(QAbstractItemView::SelectRows);
    lista->setSelectionMode(QAbstractItemView::SingleSelection);
    lista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lista->setWordWrap(false);
    lista->setCornerButtonEnabled(false);
    lista->setTabKeyNavigation(false);
    lista->verticalHeader()->hide();
    lista->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lista->verticalHeader()->setDefaultSectionSize(lista->fontMetrics().height() + 4);
    QHeaderView* cabecera = lista->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::Interactive);
    cabecera->setStretchLastSection(false);
    cabecera->setHighlightSections(false);
    cabecera->setSectionsClickable(false);
    for (int c = 0; c < filas->columnCount(); ++c) cabecera->resizeSection(c, filas->columns()[c].width);

    panelInferior = panel(this, 0, 312, 609, 48);
    btnGuardar = botonRapido(panelInferior, QStringLiteral("Guardar"), 510, 6, 88, 35,
                             QStringLiteral(":/formPrincipal/disquete.xpm"));
    btnGuardar->setEnabled(false);

    // Window: lista (0), Panel1 (1), bottom panel (2); within Panel1
    // txtArchivo, cmbManifiesto, cmbTipo.
    setTabOrder(lista, txtArchivo);
    setTabOrder(txtArchivo, cmbManifiesto);
    setTabOrder(cmbManifiesto, cmbTipo);
    lista->setFocus();

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { manejar([this] { SpeedButton1Click(SpeedButton1); }); });
    connect(cmbTipo, &QComboBox::activated, this, [this] { manejar([this] { cmbTipoChange(cmbTipo); }); });
    connect(btnProcesar, &QToolButton::clicked, this, [this] { manejar([this] { btnProcesarClick(btnProcesar); }); });
    connect(btnGuardar, &QToolButton::clicked, this, [this] { manejar([this] { btnGuardarClick(btnGuardar); }); });
}

void TfrmPrincipal::manejar(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        vcl::ShowException(rtl::messageOf(e));
    } catch (...) {
        vcl::ShowException(QStringLiteral("Error inesperado"));
    }
}

bool TfrmPrincipal::crearFormulario() {
    try {
        FormCreate(this);
    } catch (const std::exception& e) {
        vcl::ShowException(rtl::messageOf(e));
    }
    if (terminar_) return false;
    if (!iniciado_) {
        // Start-up stopped before the handlers had what they use: nothing may
        // use what was not built.
        btnProcesar->setEnabled(false);
        btnGuardar->setEnabled(false);
    }
    return true;
}

QString TfrmPrincipal::aliasDeLineaDeComandos(const QStringList& argumentos) {
    QString alias = QStringLiteral("TALVEN");
    for (qsizetype i = 1; i < argumentos.size() && !argumentos[i].isEmpty(); ++i) {
        const QString argumento = rtl::UpperCase(argumentos[i]);
        if (saco_campo(argumento, 1, u'=', QChar(), false) == QLatin1String("/ALIAS"))
            alias = saco_campo(argumento, 2, u'=', QChar(), false);
    }
    return alias;
}

void TfrmPrincipal::FormCreate(QObject* /*Sender*/) {
    iniciado_ = false;
    const QString alias = aliasDeLineaDeComandos(argumentos_);
    dbTalven = std::make_unique<DBConn>();
    DBParameters.Alias = alias;
    DBParameters.Username = QStringLiteral("sysdba");
    DBParameters.Password = QStringLiteral("bluefoxes");
    const QString acceso_a_datos = doy_acceso_a_datos();
    if (acceso_a_datos == QLatin1String("BDE")) DBParameters.Tipo = BDFireDac;
    if (acceso_a_datos == QLatin1String("ADO")) DBParameters.Tipo = BDAdo;
    if (acceso_a_datos == QLatin1String("SQL")) DBParameters.Tipo = BDSqlConn;
    if (acceso_a_datos == QLatin1String("FDC")) DBParameters.Tipo = BDFireDac;
    if (!dbTalven->Connect(DBParameters, QString())) {
        error(QStringLiteral("Error al conectar con la base"));
        terminar_ = true;
        return;
    }
    conectado_ = true;
    _config = std::make_unique<__config>(*dbTalven);
    _config->cargo();
    conocimientos = std::make_unique<TConocimientos>();
    // Everything "Procesar" and "Guardar" need is there: a failing manifest
    // query below leaves only the list empty, and the next change of kind
    // queries again.
    iniciado_ = true;
    cmbTipoChange(this);
}

void TfrmPrincipal::SpeedButton1Click(QObject* /*Sender*/) {
    const QString nombre = vcl::GetOpenFileName(this, filtroAbrir);
    if (!nombre.isEmpty()) txtArchivo->setText(nombre);
}

void TfrmPrincipal::cmbTipoChange(QObject* /*Sender*/) {
    cargoComboManifiestos(cmbManifiesto, cmbTipo->currentIndex());
}

void TfrmPrincipal::cargoComboManifiestos(QComboBox* combo, std::int32_t tipo) {
    combo->clear();
    // The user must choose the manifest. QComboBox makes its first item
    // current when it is added, so a row that fails after it must not leave
    // that one chosen for "Guardar".
    const auto ningunoElegido = qScopeGuard([combo] { combo->setCurrentIndex(-1); });
    if (!conectado_) return;
    TVexQuery cons(*dbTalven);
    cons.SetActive(false);
    QStringList& sql = cons.SQL();
    sql.clear();
    sql.append(QStringLiteral("select id, clave from manifiestos"));
    sql.append(QStringLiteral("where clave like ") +
               cons.StrQuoted(QStringLiteral("4  ") + rtl::IntToStr(tipo) + u'%', true, true));
    sql.append(QStringLiteral("and archivado = 0"));
    sql.append(QStringLiteral("order by id desc"));
    cons.SetActive(true);
    while (!cons.Eof()) {
        const std::int32_t codigo = cons.FieldByName(QStringLiteral("id")).AsInteger();
        const QString clave = cons.FieldByName(QStringLiteral("clave")).AsString();
        const QString manif = rtl::Copy(clave, 5, 6);
        const QString fecha8 = rtl::Copy(clave, 17, 8);
        const QString fecha =
            rtl::Copy(fecha8, 7, 2) + u'/' + rtl::Copy(fecha8, 5, 2) + u'/' + rtl::Copy(fecha8, 1, 4);
        combo->addItem(manif + QStringLiteral(" - ") + fecha, codigo);
        cons.Next();
    }
}

void TfrmPrincipal::btnProcesarClick(QObject* /*Sender*/) {
    if (!iniciado_) return;
    const QString archivo = rtl::Trim(txtArchivo->text());
    if (archivo.isEmpty()) {
        error(QStringLiteral("Falta seleccionar el archivo"));
        txtArchivo->setFocus();
        return;
    }
    if (!QFileInfo(archivo).isFile()) {
        error(QStringLiteral("El archivo seleccionado no existe"));
        txtArchivo->setFocus();
        return;
    }
    const std::shared_ptr<ole::ExcelApplication> excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    excel->setVisible(false);
    try {
        excel->Workbooks()->open(archivo);
    } catch (const std::exception& e) {
        error(QStringLiteral("Se genero un problema al cargar el archivo | Ayuda: ") + rtl::messageOf(e));
        return;
    }
    btnProcesar->setEnabled(false);
    btnGuardar->setEnabled(false);
    conocimientos->Clear();
    try {
        const std::shared_ptr<ole::Worksheet> Sheet = excel->Workbooks(1)->Worksheets(1);
        const auto texto = [&Sheet](std::int32_t fila, std::int32_t columna) {
            return Sheet->Cells(fila, columna).toText();
        };
        const auto numero = [&Sheet](std::int32_t fila, std::int32_t columna) {
            return Sheet->Cells(fila, columna).toNumber();
        };
        std::int32_t fila = 2;
        std::size_t memoria = 0;
        QString clave = texto(fila, 5);
        while (!clave.isEmpty()) {
            TConocimiento& c = conocimientos->add();
            c.remitente = rtl::UpperCase(texto(fila, 1));
            c.consignatario = rtl::UpperCase(texto(fila, 2));
            c.notificar = rtl::UpperCase(texto(fila, 4));
            c.numero = rtl::UpperCase(texto(fila, 5));
            c.master = rtl::UpperCase(texto(fila, 6));
            c.pago = rtl::UpperCase(texto(fila, 7));
            c.descripcion = rtl::UpperCase(texto(fila, 8));
            c.peso = numero(fila, 9);
            c.volumen = numero(fila, 10);
            c.bultos = numero(fila, 11);
            const QString origen = texto(fila, 12);
            c.embarque = rtl::Copy(origen, 1, 2) + u' ' + rtl::Copy(origen, 3, 3);
            std::int32_t idCons = 0;
            doyIdConsignatario(c.consignatario, idCons);
            if (idCons > 0) c.idconsignatario = idCons;
            // A few cells of long or repeated texts can fill many rows: a
            // shared text costs the workbook once and every waybill again.
            memoria += memoriaDeLaGuia(c);
            if (memoria > memoriaMaximaDeLaLista)
                throw rtl::Exception(
                    QStringLiteral("el libro tiene más guías de las que se pueden importar de una vez: las %1 leídas, "
                                   "hasta la fila %2, ya ocupan más de %3 MiB en memoria; divídalo en libros más chicos")
                        .arg(conocimientos->Count())
                        .arg(fila)
                        .arg(memoriaMaximaDeLaLista >> 20));
            ++fila;
            clave = texto(fila, 5);
        }
    } catch (const std::exception& e) {
        vcl::ShowMessage(QStringLiteral("Error : ") + rtl::messageOf(e));
    }
    listoConocimientos();
    btnProcesar->setEnabled(true);
    excel->Workbooks()->close();
}

std::size_t TfrmPrincipal::memoriaDeLaGuia(const TConocimiento& c) {
    // Measured: 100,000 waybills of ordinary texts take about 1.25 KiB each,
    // their texts included, with their rows of lista.
    constexpr std::size_t fija = 1280;
    const qsizetype unidades = c.remitente.size() + c.consignatario.size() + c.notificar.size() + c.numero.size() +
                               c.master.size() + c.pago.size() + c.descripcion.size() + c.embarque.size();
    return fija + static_cast<std::size_t>(unidades) * sizeof(char16_t);
}

void TfrmPrincipal::doyIdConsignatario(const QString& nombre, std::int32_t& idCons) {
    TVexQuery cons(*dbTalven);
    idCons = 0;
    cons.SetActive(false);
    cons.SQL().clear();
    cons.SQL().append(QStringLiteral("select codigo from IClientes where nombre = ") +
                      cons.StrQuoted(nombre, true, true));
    cons.SetActive(true);
    if (!cons.Eof()) idCons = cons.FieldByName(QStringLiteral("codigo")).AsInteger();
}

void TfrmPrincipal::listoConocimientos() {
    filas->clear();
    QList<QStringList> rows;
    const std::int32_t n = conocimientos ? conocimientos->Count() : 0;
    rows.reserve(n);
    for (std::int32_t i = 0; i < n; ++i) {
        const TConocimiento& c = conocimientos->get_item(i);
        rows.append({c.numero, c.master, c.consignatario, rtl::FloatToStr(c.peso), rtl::FloatToStr(c.bultos)});
    }
    filas->setRows(std::move(rows));
    if (filas->rowCount() > 0) btnGuardar->setEnabled(true);
}

namespace {

// Closes `cons` and gives it the statement `lineas`, one entry per line.
void preparo(TVexQuery& cons, std::initializer_list<QString> lineas) {
    cons.SetActive(false);
    QStringList& sql = cons.SQL();
    sql.clear();
    for (const QString& linea : lineas) sql.append(linea);
}

// Opens the select in `cons`; the value of column "id" of its first row, or
// nothing when it has no row.
std::optional<std::int32_t> primerId(TVexQuery& cons) {
    cons.SetActive(true);
    if (cons.Eof()) return std::nullopt;
    return cons.FieldByName(QStringLiteral("id")).AsInteger();
}

QString entero(std::int32_t valor) { return rtl::IntToStr(valor); }

}  // namespace

void TfrmPrincipal::btnGuardarClick(QObject* /*Sender*/) {
    if (!iniciado_) return;
    TVexQuery cons(*dbTalven);
    const auto q = [&cons](const QString& texto) { return cons.StrQuoted(texto, true, true); };
    const std::int32_t total = conocimientos->Count();
    for (std::int32_t i = 0; i < total; ++i) {
        TConocimiento& c = conocimientos->get_item(i);
        muestroItem(c.numero);
        c.manif = ComboCodigo(cmbManifiesto);

        const auto buscoConocimiento = [&] {
            preparo(cons, {QStringLiteral("select id from conocimientos where numero = ") + q(c.numero) +
                           QStringLiteral(" and manifiesto = ") + entero(c.manif)});
            return primerId(cons);
        };
        std::optional<std::int32_t> id = buscoConocimiento();
        if (!id) {
            preparo(cons, {QStringLiteral("insert into conocimientos (manifiesto, numero)"), QStringLiteral("values("),
                           entero(c.manif) + u',', q(c.numero) + u')'});
            cons.ExecSQL();
            id = buscoConocimiento();
            // Updating whatever row `id` held before would overwrite another waybill.
            if (!id)
                throw rtl::Exception(QStringLiteral("No se encontró el conocimiento %1 del manifiesto %2 después de "
                                                    "insertarlo en la tabla conocimientos; el proceso se detuvo.")
                                         .arg(c.numero, entero(c.manif)));
        }
        c.id = *id;

        const QString tipo = c.numero == c.master ? QStringLiteral("MASTER") : QStringLiteral("HOUSE");
        preparo(cons, {QStringLiteral("update conocimientos set"),
                       QStringLiteral("master = ") + q(c.master) + u',',
                       QStringLiteral("tipo = ") + q(tipo) + u',',
                       QStringLiteral("nombrecons = ") + q(c.consignatario) + u',',
                       QStringLiteral("idconsignatario = ") + entero(c.idconsignatario) + u',',
                       QStringLiteral("embarcador = ") + q(c.remitente) + u',',
                       QStringLiteral("notifyTo = ") + q(c.notificar) + u',',
                       QStringLiteral("pago_carga = ") + q(c.pago) + u',',
                       QStringLiteral("estado = ") + entero(c.estado) + u',',
                       QStringLiteral("numerodna = ") + entero(c.numerodna) + u',',
                       QStringLiteral("embarque = ") + q(c.embarque) + u',',
                       QStringLiteral("destino = ") + q(c.destino) + u',',
                       QStringLiteral("descarga = ") + q(c.destino) + u',',
                       QStringLiteral("PaisOrigenConsig = ") + entero(c.paisDestinatario) + u',',
                       QStringLiteral("operacion = ") + q(c.operacion),
                       QStringLiteral("where id = ") + entero(c.id)});
        cons.ExecSQL();

        const auto buscoLinea = [&] {
            preparo(cons, {QStringLiteral("select id from lineas where conocimiento = ") + entero(c.id) +
                           QStringLiteral(" and numero = 1")});
            return primerId(cons);
        };
        std::optional<std::int32_t> lineaId = buscoLinea();
        if (!lineaId) {
            preparo(cons, {QStringLiteral("insert into lineas (conocimiento, numero)"), QStringLiteral("values("),
                           entero(c.id) + u',', QStringLiteral("1)")});
            cons.ExecSQL();
            lineaId = buscoLinea();
            if (!lineaId)
                throw rtl::Exception(QStringLiteral("No se encontró la línea 1 del conocimiento %1 después de "
                                                    "insertarla en la tabla lineas; el proceso se detuvo.")
                                         .arg(c.numero));
        }
        c.lineaId = *lineaId;

        preparo(cons, {QStringLiteral("update lineas set "),
                       QStringLiteral("tipobulto = ") + q(c.tipoBultos) + u',',
                       QStringLiteral("totalbulto = ") + rtl::FloatToStrSql(c.bultos) + u',',
                       QStringLiteral("pesobruto = ") + rtl::FloatToStrSql(c.peso) + u',',
                       QStringLiteral("estado = ") + entero(c.estado) + u',',
                       QStringLiteral("operacion = ") + q(c.operacion) + u',',
                       QStringLiteral("volumen = ") + FloatStr(c.volumen) + u',',
                       QStringLiteral("descripcion = ") + q(c.descripcion),
                       QStringLiteral("where id = ") + entero(c.lineaId)});
        cons.ExecSQL();
    }
    vcl::ShowMessage(QStringLiteral("¡Proceso finalizado"));
}

void TfrmPrincipal::muestroItem(const QString& numConoc) {
    const int n = filas->rowCount();
    if (n == 0) return;
    int fila = filas->findCaption(numConoc);
    if (fila < 0) fila = n - 1;
    // The view marks the whole row of its current item.
    const QModelIndex indice = filas->index(fila, 0);
    // The view would scroll to a new current row of its own accord; here the
    // scrolling below decides.
    const bool autoScroll = lista->hasAutoScroll();
    lista->setAutoScroll(false);
    lista->selectionModel()->setCurrentIndex(indice, QItemSelectionModel::NoUpdate);
    lista->setAutoScroll(autoScroll);
    // A row already partly visible counts as visible.
    const QRect visible = lista->viewport()->rect();
    const QRect celda = lista->visualRect(indice);
    if (celda.bottom() < visible.top() || celda.top() > visible.bottom())
        lista->scrollTo(indice, QAbstractItemView::EnsureVisible);
    // Paint what changed now, so the mark shows while the run goes on.
    QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}
