#include "app/formPrincipal.h"

#include "app/report_model.h"
#include "config/funciones.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/numbers.h"
#include "platform/runtime/strings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QToolButton>

// Until the settings object lands.
class __config {};

const QString TfrmPrincipal::filtroAbrir = QStringLiteral("Excel Files (*.xls, *.xlsx)|*.xls;*.xlsx");

namespace {

QLabel* etiqueta(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
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

    filas = new ReportModel({{QStringLiteral("Conocimiento"), 100, Qt::AlignLeft},
                             {QStringLiteral("Master"), 100, Qt::AlignLeft},
                             {QStringLiteral("Consignatario"), 220, Qt::AlignLeft},
                             {QStringLiteral("Peso"), 80, Qt::AlignRight},
                             {QStringLiteral("Bultos"), 80, Qt::AlignRight}},
                            this);
    lista = new QTableView(this);
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
        return true;
    } catch (const std::exception& e) {
        vcl::ShowException(rtl::messageOf(e));
    }
    iniciado_ = false;
    btnProcesar->setEnabled(false);
    btnGuardar->setEnabled(false);
    return true;
}

void TfrmPrincipal::FormCreate(QObject* /*Sender*/) {
    // Filled in with the connection.
}

void TfrmPrincipal::SpeedButton1Click(QObject* /*Sender*/) {
    const QString nombre = vcl::GetOpenFileName(this, filtroAbrir);
    if (!nombre.isEmpty()) txtArchivo->setText(nombre);
}

void TfrmPrincipal::cmbTipoChange(QObject* /*Sender*/) {
    cargoComboManifiestos(cmbManifiesto, cmbTipo->currentIndex());
}

void TfrmPrincipal::cargoComboManifiestos(QComboBox* combo, std::int32_t /*tipo*/) { combo->clear(); }

void TfrmPrincipal::btnProcesarClick(QObject* /*Sender*/) {}

void TfrmPrincipal::doyIdConsignatario(const QString& /*nombre*/, std::int32_t& idCons) { idCons = 0; }

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

void TfrmPrincipal::btnGuardarClick(QObject* /*Sender*/) {}

void TfrmPrincipal::muestroItem(const QString& numConoc) {
    const int n = filas->rowCount();
    if (n == 0) return;
    int fila = filas->findCaption(numConoc);
    if (fila < 0) fila = n - 1;
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
