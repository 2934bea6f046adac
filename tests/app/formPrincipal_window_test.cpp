// The main window's controls as laid out, and the parts of its behaviour that
// need no database: the grid filled from the waybill list, the progress mark,
// the open dialog.
#include "app/formPrincipal.h"
#include "app/report_model.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/format_settings.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

class VentanaSinBase : public ::testing::Test {
protected:
    void SetUp() override {
        rtl::FormatSettings() = rtl::TFormatSettings{};
        vcl::setMessageHandler([this](const vcl::DialogRequest& r) { dialogos.push_back(r); });
        // As CreateForm does before it builds the window.
        ASSERT_TRUE(TfrmPrincipal::cargoFuenteDelFormulario()) << "no " << TfrmPrincipal::archivoTahoma.toStdString();
    }
    void TearDown() override {
        vcl::setMessageHandler({});
        vcl::setOpenFileHandler({});
        rtl::FormatSettings() = rtl::TFormatSettings{};
    }
    // Fills the waybill list with `n` waybills numbered from 1 and shows them.
    void llenar(TfrmPrincipal& w, int n, const QStringList& numeros = {}) {
        w.conocimientos = std::make_unique<TConocimientos>();
        for (int i = 0; i < n; ++i) {
            TConocimiento& c = w.conocimientos->add();
            c.numero = i < numeros.size() ? numeros[i] : QStringLiteral("G%1").arg(i + 1);
            c.master = QStringLiteral("M%1").arg(i + 1);
            c.consignatario = QStringLiteral("CLIENTE %1").arg(i + 1);
            c.peso = 10 + i;
            c.bultos = i;
        }
        w.listoConocimientos();
    }
    std::vector<vcl::DialogRequest> dialogos;
};

TEST_F(VentanaSinBase, ControlsStandWhereTheFormPutsThem) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    struct Caso {
        const char* nombre;
        QWidget* control;
        QWidget* padre;
        QRect rect;
        bool etiqueta = false;  // sized to its caption, never smaller
    };
    const Caso casos[] = {
        {"Panel1", w.Panel1, &w, {0, 0, 609, 65}},
        {"Label2", w.Label2, w.Panel1, {21, 13, 40, 13}, true},
        {"txtArchivo", w.txtArchivo, w.Panel1, {71, 10, 394, 21}},
        {"SpeedButton1", w.SpeedButton1, w.Panel1, {471, 9, 23, 22}},
        {"Label1", w.Label1, w.Panel1, {21, 40, 27, 13}, true},
        {"cmbTipo", w.cmbTipo, w.Panel1, {71, 37, 107, 21}},
        {"Label3", w.Label3, w.Panel1, {191, 40, 49, 13}, true},
        {"cmbManifiesto", w.cmbManifiesto, w.Panel1, {246, 37, 219, 21}},
        {"btnProcesar", w.btnProcesar, w.Panel1, {510, 10, 88, 48}},
        {"lista", w.lista, &w, {0, 65, 609, 247}},
        {"panel inferior", w.panelInferior, &w, {0, 312, 609, 48}},
        {"btnGuardar", w.btnGuardar, w.panelInferior, {510, 6, 88, 35}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        ASSERT_NE(c.control, nullptr);
        EXPECT_EQ(c.control->parentWidget(), c.padre);
        if (!c.etiqueta) {
            EXPECT_EQ(c.control->geometry(), c.rect);
            continue;
        }
        EXPECT_EQ(c.control->pos(), c.rect.topLeft());
        EXPECT_GE(c.control->width(), c.rect.width());
        EXPECT_GE(c.control->height(), c.rect.height());
        const auto* etiqueta = static_cast<QLabel*>(c.control);
        EXPECT_GE(c.control->width(), etiqueta->fontMetrics().horizontalAdvance(etiqueta->text()));
    }
    EXPECT_EQ(w.size(), QSize(609, 360));
    EXPECT_EQ(w.minimumSize(), QSize(609, 360));
    EXPECT_EQ(w.maximumSize(), QSize(609, 360));
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("importaguias"));
    // Centred on the screen.
    const QScreen* pantalla = QGuiApplication::primaryScreen();
    ASSERT_NE(pantalla, nullptr);
    const QPoint desvio = w.geometry().center() - pantalla->availableGeometry().center();
    EXPECT_LE(desvio.manhattanLength(), 2) << desvio.x() << "," << desvio.y();
}

// No label of Panel1 runs under the control after it on its line, and each
// shows its whole caption.
void ningunaEtiquetaSeMete(TfrmPrincipal& w) {
    const std::pair<QLabel*, QWidget*> pares[] = {
        {w.Label2, w.txtArchivo}, {w.Label1, w.cmbTipo}, {w.Label3, w.cmbManifiesto}};
    for (const auto& [etiqueta, siguiente] : pares) {
        SCOPED_TRACE(etiqueta->text().toStdString());
        EXPECT_FALSE(etiqueta->geometry().intersects(siguiente->geometry()))
            << etiqueta->geometry().right() << " >= " << siguiente->geometry().left();
        EXPECT_GE(etiqueta->width(), etiqueta->fontMetrics().horizontalAdvance(etiqueta->text()));
    }
}

TEST_F(VentanaSinBase, TheFormsFontIsTahomaAndKeepsTheFormsSizes) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (QWidget* control : std::initializer_list<QWidget*>{&w, w.Label3, w.txtArchivo, w.cmbManifiesto, w.lista}) {
        SCOPED_TRACE(control->metaObject()->className());
        const QFontInfo fuente(control->font());
        EXPECT_EQ(fuente.family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(fuente.pixelSize(), 11);
    }
    // The labels keep the form's sizes, give or take the pixel or two by which
    // the text engine's rounding of the advances differs from the platform's;
    // the controls stand exactly where the form puts them (above).
    const std::pair<QLabel*, QRect> etiquetas[] = {{w.Label2, QRect(21, 13, 40, 13)},
                                                   {w.Label1, QRect(21, 40, 27, 13)},
                                                   {w.Label3, QRect(191, 40, 49, 13)}};
    for (const auto& [etiqueta, forma] : etiquetas) {
        SCOPED_TRACE(etiqueta->text().toStdString());
        EXPECT_EQ(etiqueta->pos(), forma.topLeft());
        EXPECT_EQ(etiqueta->height(), forma.height());
        EXPECT_GE(etiqueta->width(), forma.width());
        EXPECT_LE(etiqueta->width(), forma.width() + 2);
    }
    EXPECT_EQ(w.txtArchivo->geometry(), QRect(71, 10, 394, 21));
    EXPECT_EQ(w.cmbTipo->geometry(), QRect(71, 37, 107, 21));
    EXPECT_EQ(w.cmbManifiesto->geometry(), QRect(246, 37, 219, 21));
    ningunaEtiquetaSeMete(w);
}

// No Tahoma at all: the labels take another font's sizes.
class VentanaSinTahoma : public VentanaSinBase {
protected:
    void SetUp() override {
        VentanaSinBase::SetUp();
        QFontDatabase::removeAllApplicationFonts();
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) GTEST_SKIP() << "the system has a Tahoma of its own";
    }
};

TEST_F(VentanaSinTahoma, NoLabelRunsUnderTheControlAfterIt) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_NE(QFontInfo(w.font()).family(), QStringLiteral("Tahoma"));
    // The case arises: "Manifiesto" needs more than the form gives it.
    ASSERT_GT(w.Label3->fontMetrics().horizontalAdvance(w.Label3->text()), 246 - 191);
    ningunaEtiquetaSeMete(w);
    // The controls made room from the left; their right edges and the rest stay.
    EXPECT_EQ(w.txtArchivo->geometry().right(), 71 + 394 - 1);
    EXPECT_EQ(w.cmbTipo->geometry().right(), 71 + 107 - 1);
    EXPECT_EQ(w.cmbManifiesto->geometry().right(), 246 + 219 - 1);
    EXPECT_EQ(w.cmbManifiesto->geometry().top(), 37);
    EXPECT_EQ(w.SpeedButton1->geometry(), QRect(471, 9, 23, 22));
    EXPECT_EQ(w.btnProcesar->geometry(), QRect(510, 10, 88, 48));
}

TEST_F(VentanaSinBase, CaptionsItemsAndStatesAtStart) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Archivo:"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("Tipo: "));
    EXPECT_EQ(w.Label3->text(), QStringLiteral("Manifiesto"));
    EXPECT_EQ(w.SpeedButton1->text(), QStringLiteral("..."));
    EXPECT_EQ(w.btnProcesar->text(), QStringLiteral("Procesar"));
    EXPECT_EQ(w.btnGuardar->text(), QStringLiteral("Guardar"));
    EXPECT_TRUE(w.txtArchivo->isReadOnly());
    EXPECT_TRUE(w.txtArchivo->text().isEmpty());
    EXPECT_FALSE(w.cmbTipo->isEditable());
    EXPECT_FALSE(w.cmbManifiesto->isEditable());
    ASSERT_EQ(w.cmbTipo->count(), 2);
    EXPECT_EQ(w.cmbTipo->itemText(0), QStringLiteral("INGRESO"));
    EXPECT_EQ(w.cmbTipo->itemText(1), QStringLiteral("EGRESO"));
    EXPECT_EQ(w.cmbTipo->currentIndex(), 0);
    EXPECT_EQ(w.cmbManifiesto->count(), 0);
    EXPECT_TRUE(w.btnProcesar->isEnabled());
    EXPECT_FALSE(w.btnGuardar->isEnabled());
    for (QToolButton* b : {w.SpeedButton1, w.btnProcesar, w.btnGuardar}) {
        SCOPED_TRACE(b->text().toStdString());
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    }
    for (QToolButton* b : {w.btnProcesar, w.btnGuardar}) {
        SCOPED_TRACE(b->text().toStdString());
        const QPixmap p = b->icon().pixmap(16, 16);
        ASSERT_FALSE(p.isNull());
        EXPECT_EQ(p.size(), QSize(16, 16));
    }
    EXPECT_EQ(TfrmPrincipal::filtroAbrir, QStringLiteral("Excel Files (*.xls, *.xlsx)|*.xls;*.xlsx"));
}

TEST_F(VentanaSinBase, GridIsAReadOnlyRowSelectingReport) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    EXPECT_TRUE(w.lista->showGrid());
    EXPECT_EQ(w.lista->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(w.lista->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(w.lista->verticalHeader()->isVisible() && !w.lista->verticalHeader()->isHidden());
    EXPECT_EQ(w.filas->rowCount(), 0);
    struct Columna {
        const char* titulo;
        int ancho;
        Qt::Alignment alineacion;
    };
    const Columna columnas[] = {{"Conocimiento", 100, Qt::AlignLeft},
                                {"Master", 100, Qt::AlignLeft},
                                {"Consignatario", 220, Qt::AlignLeft},
                                {"Peso", 80, Qt::AlignRight},
                                {"Bultos", 80, Qt::AlignRight}};
    ASSERT_EQ(w.filas->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        SCOPED_TRACE(columnas[c].titulo);
        EXPECT_EQ(w.filas->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(columnas[c].titulo));
        EXPECT_EQ(w.lista->horizontalHeader()->sectionSize(c), columnas[c].ancho);
        llenar(w, 1);
        const auto alineacion =
            Qt::Alignment(w.filas->data(w.filas->index(0, c), Qt::TextAlignmentRole).toInt());
        EXPECT_EQ(alineacion & Qt::AlignHorizontal_Mask, columnas[c].alineacion);
        EXPECT_FALSE(w.filas->flags(w.filas->index(0, c)).testFlag(Qt::ItemIsEditable));
    }
}

TEST_F(VentanaSinBase, FocusGoesFromTheGridThroughThePanelInTabOrder) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    w.lista->setFocus();
    const std::vector<QWidget*> esperado = {w.txtArchivo, w.cmbManifiesto, w.cmbTipo, w.lista};
    for (QWidget* siguiente : esperado) {
        SCOPED_TRACE(siguiente->metaObject()->className());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), siguiente);
    }
}

TEST_F(VentanaSinBase, GridShowsTheWaybillsInListOrderWithTheLocalesDecimalSeparator) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    rtl::FormatSettings().DecimalSeparator = u',';
    w.conocimientos = std::make_unique<TConocimientos>();
    TConocimiento& a = w.conocimientos->add();
    a.numero = QStringLiteral("HAWB1");
    a.master = QStringLiteral("MAWB");
    a.consignatario = QStringLiteral("SEñOR PéREZ");
    a.peso = 12.5;
    a.volumen = 7.25;
    a.bultos = 3;
    TConocimiento& b = w.conocimientos->add();
    b.numero = QStringLiteral("HAWB2");
    b.peso = 1.0 / 3.0;
    b.bultos = 0;
    w.listoConocimientos();
    ASSERT_EQ(w.filas->rowCount(), 2);
    const QStringList fila0 = {QStringLiteral("HAWB1"), QStringLiteral("MAWB"), QStringLiteral("SEñOR PéREZ"),
                               QStringLiteral("12,5"), QStringLiteral("3")};
    const QStringList fila1 = {QStringLiteral("HAWB2"), QString(), QString(), QStringLiteral("0,333333333333333"),
                               QStringLiteral("0")};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(w.filas->text(0, c), fila0[c]) << c;
        EXPECT_EQ(w.filas->text(1, c), fila1[c]) << c;
    }
    EXPECT_TRUE(w.btnGuardar->isEnabled());

    // An empty reading empties the grid but never disables "Guardar" itself.
    w.conocimientos->Clear();
    w.listoConocimientos();
    EXPECT_EQ(w.filas->rowCount(), 0);
    EXPECT_TRUE(w.btnGuardar->isEnabled());
}

TEST_F(VentanaSinBase, GridRedrawsOnceForTheWholeList) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    int reinicios = 0, insertadas = 0;
    QObject::connect(w.filas, &QAbstractItemModel::modelReset, [&] { ++reinicios; });
    QObject::connect(w.filas, &QAbstractItemModel::rowsInserted, [&] { ++insertadas; });
    llenar(w, 500);
    EXPECT_EQ(w.filas->rowCount(), 500);
    EXPECT_EQ(insertadas, 0);
    EXPECT_LE(reinicios, 2);  // the clearing, then the filling
}

// Counts the paints of the grid and records the focused row at each.
class Pintadas : public QObject {
public:
    explicit Pintadas(QTableView* v) : vista(v) { v->viewport()->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) filasMarcadas.push_back(vista->currentIndex().row());
        return false;
    }
    QTableView* vista;
    std::vector<int> filasMarcadas;
};

TEST_F(VentanaSinBase, ProgressMarkFocusesWithoutSelectingScrollsAndPaintsAtOnce) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    QStringList numeros;
    for (int i = 0; i < 60; ++i) numeros << QStringLiteral("G%1").arg(i + 1);
    numeros[40] = QStringLiteral("G5");  // a second waybill with the number of row 4
    llenar(w, 60, numeros);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.lista->selectRow(2);
    QCoreApplication::processEvents();
    Pintadas pintadas(w.lista);

    struct Caso {
        const char* nombre;
        QString numero;
        int fila;
    };
    const Caso casos[] = {
        {"first row", QStringLiteral("G1"), 0},
        {"a row far below is scrolled into view", QStringLiteral("G50"), 49},
        {"the first of two rows with one number", QStringLiteral("G5"), 4},
        {"no row with that number marks the last", QStringLiteral("NOEXISTE"), 59},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        const size_t antes = pintadas.filasMarcadas.size();
        w.muestroItem(c.numero);
        EXPECT_EQ(w.lista->currentIndex().row(), c.fila);
        const QModelIndexList elegidas = w.lista->selectionModel()->selectedRows();
        ASSERT_EQ(elegidas.size(), 1);
        EXPECT_EQ(elegidas[0].row(), 2);  // the selection is left alone
        const QRect celda = w.lista->visualRect(w.filas->index(c.fila, 0));
        EXPECT_TRUE(celda.intersects(w.lista->viewport()->rect()));
        // Painted inside the call, with the new mark.
        ASSERT_GT(pintadas.filasMarcadas.size(), antes);
        EXPECT_EQ(pintadas.filasMarcadas.back(), c.fila);
    }
}

// What the window shows (its backing store as last painted), not a fresh rendering.
QImage enPantalla(QWidget& w) { return w.screen()->grabWindow(w.winId()).toImage(); }

bool difieren(const QImage& a, const QImage& b, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
    return false;
}

TEST_F(VentanaSinBase, ProgressMarkFramesEveryColumnOfTheRow) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    llenar(w, 6);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.lista->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.lista->hasFocus());

    w.muestroItem(QStringLiteral("G2"));
    const QImage enLaSegunda = enPantalla(w);
    w.muestroItem(QStringLiteral("G5"));
    const QImage enLaQuinta = enPantalla(w);
    ASSERT_EQ(enLaSegunda.size(), enLaQuinta.size());
    // The mark comes to every cell of the fifth row and leaves every cell of
    // the second, as painted within the calls.
    const QPoint origen = w.lista->viewport()->mapTo(&w, QPoint(0, 0));
    for (const int fila : {1, 4}) {
        for (int c = 0; c < w.filas->columnCount(); ++c) {
            SCOPED_TRACE(testing::Message() << "row " << fila << ", column " << c);
            const QRect celda = w.lista->visualRect(w.filas->index(fila, c)).translated(origen);
            EXPECT_TRUE(difieren(enLaSegunda, enLaQuinta, celda));
        }
    }
    // A row the mark never reached is painted the same.
    const QRect otra = w.lista->visualRect(w.filas->index(2, 3)).translated(origen);
    EXPECT_FALSE(difieren(enLaSegunda, enLaQuinta, otra));
    EXPECT_TRUE(w.lista->selectionModel()->selectedIndexes().isEmpty());
}

TEST_F(VentanaSinBase, ProgressMarkLeavesAPartlyVisibleRowWhereItIs) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    llenar(w, 60);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect vista = w.lista->viewport()->rect();
    int parcial = -1;
    for (int r = 0; r < 60; ++r) {
        const QRect celda = w.lista->visualRect(w.filas->index(r, 0));
        if (celda.top() <= vista.bottom() && celda.bottom() > vista.bottom()) parcial = r;
    }
    ASSERT_GE(parcial, 0) << "no row is cut by the bottom edge";
    const int desplazamiento = w.lista->verticalScrollBar()->value();
    w.muestroItem(QStringLiteral("G%1").arg(parcial + 1));
    EXPECT_EQ(w.lista->currentIndex().row(), parcial);
    EXPECT_EQ(w.lista->verticalScrollBar()->value(), desplazamiento);
}

TEST_F(VentanaSinBase, ProgressMarkOnAnEmptyGridDoesNothing) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    w.muestroItem(QStringLiteral("G1"));
    EXPECT_FALSE(w.lista->currentIndex().isValid());
}

TEST_F(VentanaSinBase, OpenDialogSetsTheChosenNameAndCancelKeepsIt) {
    TfrmPrincipal w({QStringLiteral("importaguias")});
    std::vector<QString> respuestas = {QStringLiteral("/tmp/uno.xlsx"), QStringLiteral("/tmp/dos.xls"), QString()};
    size_t i = 0;
    QString filtroVisto;
    vcl::setOpenFileHandler([&](const QString& filtro) {
        filtroVisto = filtro;
        return respuestas.at(i++);
    });
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(w.txtArchivo->text(), QStringLiteral("/tmp/uno.xlsx"));
    EXPECT_EQ(filtroVisto, TfrmPrincipal::filtroAbrir);
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(w.txtArchivo->text(), QStringLiteral("/tmp/dos.xls"));
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);  // cancelled
    EXPECT_EQ(w.txtArchivo->text(), QStringLiteral("/tmp/dos.xls"));
    EXPECT_TRUE(dialogos.empty());
}

}  // namespace
