// The main window end to end on real databases (SQLite through its ODBC
// driver, PostgreSQL on the tests' throwaway server) under the offscreen
// platform: start-up, the manifest list, "Procesar" on real workbooks and
// "Guardar" into the manifest's tables. Dialogs are answered through the
// dialog seam and recorded.
#include "app/formPrincipal.h"
#include "app/programa.h"
#include "app/report_model.h"
#include "config/funciones.h"
#include "config/version.h"
#include "database/DBobj.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/format_settings.h"
#include "tests/app/support/libro.h"
#include "tests/app/support/mundo.h"
#include "tests/support/process_locale.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

using prueba::Celda;
using prueba::Fila;
using prueba::Motor;
using prueba::Vacia;

namespace {

QString q(const char* s) { return QString::fromUtf8(s); }

class Ventana : public ::testing::TestWithParam<Motor> {
protected:
    void SetUp() override {
        prueba::reinicioGlobales();
        mundo = std::make_unique<prueba::Mundo>(GetParam());
        vcl::setMessageHandler([this](const vcl::DialogRequest& r) {
            dialogos.push_back(r);
            if (alDialogo) alDialogo(r);
        });
    }
    void TearDown() override {
        vcl::setMessageHandler({});
        vcl::setOpenFileHandler({});
        ventana.reset();
        prueba::reinicioGlobales();
        mundo.reset();
    }

    // Starts the program's window as main() does, with `argumentos` after the
    // program's path.
    TfrmPrincipal& arranco(const QStringList& argumentos = {}) {
        ventana = CreateForm(QStringList{mundo->ruta(QStringLiteral("importaguias"))} + argumentos);
        if (!ventana) throw std::runtime_error("the window was not created");
        return *ventana;
    }
    QStringList itemsManifiesto() const {
        QStringList out;
        for (int i = 0; i < ventana->cmbManifiesto->count(); ++i) out << ventana->cmbManifiesto->itemText(i);
        return out;
    }
    QList<int> idsManifiesto() const {
        QList<int> out;
        for (int i = 0; i < ventana->cmbManifiesto->count(); ++i)
            out << ventana->cmbManifiesto->itemData(i).toInt();
        return out;
    }
    // Writes the workbook and names it in the window.
    QString libro(const std::vector<Fila>& filas, const QString& nombre = QStringLiteral("guias.xlsx")) {
        const QString ruta = mundo->ruta(nombre);
        prueba::escriboLibro(ruta, filas);
        vcl::setOpenFileHandler([ruta](const QString&) { return ruta; });
        QTest::mouseClick(ventana->SpeedButton1, Qt::LeftButton);
        return ruta;
    }
    void procesar() { QTest::mouseClick(ventana->btnProcesar, Qt::LeftButton); }
    void guardar() { QTest::mouseClick(ventana->btnGuardar, Qt::LeftButton); }
    void eligoManifiesto(int id) {
        const int i = ventana->cmbManifiesto->findData(id);
        ASSERT_GE(i, 0) << "manifest " << id << " is not listed";
        ventana->cmbManifiesto->setCurrentIndex(i);
    }
    std::vector<vcl::DialogRequest> delTipo(vcl::DialogKind kind) const {
        std::vector<vcl::DialogRequest> out;
        for (const auto& d : dialogos)
            if (d.kind == kind) out.push_back(d);
        return out;
    }
    QStringList textos() const {
        QStringList out;
        for (const auto& d : dialogos) out << d.text;
        return out;
    }

    std::unique_ptr<prueba::Mundo> mundo;
    std::unique_ptr<TfrmPrincipal> ventana;
    std::vector<vcl::DialogRequest> dialogos;
    std::function<void(const vcl::DialogRequest&)> alDialogo;
};

std::string nombreDelCaso(const ::testing::TestParamInfo<Motor>& info) { return prueba::nombreMotor(info.param); }

// ---------------------------------------------------------------- start-up

TEST(LineaDeComandos, ChoosesTheDataSource) {
    struct Caso {
        const char* nombre;
        QStringList argumentos;
        QString alias;
    };
    const Caso casos[] = {
        {"no arguments", {}, QStringLiteral("TALVEN")},
        {"lower case is upper-cased", {QStringLiteral("/alias=dsn1")}, QStringLiteral("DSN1")},
        {"the later of two wins", {QStringLiteral("/ALIAS=UNO"), QStringLiteral("/Alias=dos")}, QStringLiteral("DOS")},
        {"without = the name is empty", {QStringLiteral("/ALIAS")}, QString()},
        {"a second = ends the name", {QStringLiteral("/ALIAS=A=B")}, QStringLiteral("A")},
        {"a longer switch is ignored", {QStringLiteral("/ALIASX=B")}, QStringLiteral("TALVEN")},
        {"other arguments are ignored", {QStringLiteral("-x"), QStringLiteral("/ALIAS=Z"), QStringLiteral("y")},
         QStringLiteral("Z")},
        {"nothing after an empty argument is seen", {QString(), QStringLiteral("/ALIAS=X")}, QStringLiteral("TALVEN")},
        {"only a-z change", {q("/alias=dsñé")}, q("DSñé")},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(TfrmPrincipal::aliasDeLineaDeComandos(QStringList{QStringLiteral("importaguias")} + c.argumentos),
                  c.alias);
    }
}

TEST_P(Ventana, StartsOnTheDataSourceTheCommandLineNames) {
    mundo->manifiestosDeEjemplo();
    mundo->agregoOrigen(QStringLiteral("DSN1"));
    arranco({QStringLiteral("/alias=dsn1")});
    EXPECT_EQ(DBParameters.Alias, QStringLiteral("DSN1"));
    EXPECT_EQ(DBParameters.Username, QStringLiteral("sysdba"));
    EXPECT_EQ(DBParameters.Password, QStringLiteral("bluefoxes"));
    // DSN1's database has no manifests, TALVEN's has.
    EXPECT_TRUE(ventana->iniciado());
    EXPECT_EQ(ventana->cmbManifiesto->count(), 0);
    EXPECT_TRUE(dialogos.empty());
}

TEST_P(Ventana, AccessKindFollowsTheStoredSetting) {
    mundo->manifiestosDeEjemplo();
    struct Caso {
        const char* nombre;
        std::optional<QString> dbd;
        TDBAccess tipo;
    };
    const Caso casos[] = {
        {"absent: FireDAC, and FDC is stored", std::nullopt, BDFireDac},
        {"BDE connects with FireDAC", QStringLiteral("BDE"), BDFireDac},
        {"FDC", QStringLiteral("FDC"), BDFireDac},
        {"ADO", QStringLiteral("ADO"), BDAdo},
        {"SQL connects with dbExpress", QStringLiteral("SQL"), BDSqlConn},
        {"lower-case fdc falls back to ADO", QStringLiteral("fdc"), BDAdo},
        {"any other text falls back to ADO", QStringLiteral("XYZ"), BDAdo},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        ventana.reset();
        prueba::reinicioGlobales();
        QFile::remove(mundo->ruta(QStringLiteral("config/user.reg")));
        QDir(mundo->ruta(QStringLiteral("config"))).removeRecursively();
        if (c.dbd) set_key_value_CURRENT_USER(QStringLiteral("DBD"), *c.dbd);
        arranco();
        EXPECT_EQ(DBParameters.Tipo, c.tipo);
        ASSERT_TRUE(dbTalven);
        EXPECT_EQ(dbTalven->tipo, c.tipo);
        EXPECT_TRUE(dbTalven->IsConnected());
        EXPECT_EQ(itemsManifiesto().size(), 3) << "the manifests are read through every kind";
        EXPECT_TRUE(dialogos.empty()) << textos().join(u'\n').toStdString();
        dialogos.clear();
        QString guardado;
        get_key_value_CURRENT_USER(QStringLiteral("DBD"), guardado);
        EXPECT_EQ(guardado, c.dbd.value_or(QStringLiteral("FDC")));
        EXPECT_TRUE(dialogos.empty());
    }
}

TEST_P(Ventana, AnotherStartUpErrorIsShownOnceAndLeavesTheButtonsDisabled) {
    struct Caso {
        const char* nombre;
        std::function<void(prueba::Mundo&)> preparo;
    };
    const Caso casos[] = {
        {"a DBD value of another type",
         [](prueba::Mundo&) { set_key_value_CURRENT_USER(QStringLiteral("DBD"), std::int32_t{7}); }},
        {"no settings table", [](prueba::Mundo& m) { m.ejecuto(QStringLiteral("drop table configuracion")); }},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        ventana.reset();
        prueba::reinicioGlobales();
        dialogos.clear();
        c.preparo(*mundo);
        arranco();
        ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
        EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Exception);
        EXPECT_FALSE(dialogos[0].text.isEmpty());
        EXPECT_FALSE(ventana->iniciado());
        EXPECT_FALSE(ventana->btnProcesar->isEnabled());
        EXPECT_FALSE(ventana->btnGuardar->isEnabled());
        // The disabled buttons stay silent; the window does not act on what was not built.
        procesar();
        guardar();
        EXPECT_EQ(dialogos.size(), 1u);
        // Nor do the handlers themselves, even with a real workbook named.
        const QString ruta = mundo->ruta(QStringLiteral("arranque.xlsx"));
        prueba::escriboLibro(ruta, {prueba::encabezado(), prueba::filaGuia(q("a"), q("b"), q("G1"), q("M"), 1.0,
                                                                           1.0, 1.0, q("JPNRT"))});
        ventana->txtArchivo->setText(ruta);
        ventana->btnProcesarClick(ventana->btnProcesar);
        ventana->btnGuardarClick(ventana->btnGuardar);
        EXPECT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
        EXPECT_EQ(ventana->filas->rowCount(), 0);
        QDir(mundo->ruta(QStringLiteral("config"))).removeRecursively();
    }
}

TEST_P(Ventana, AFailingManifestQueryAtStartUpLeavesTheWindowWorking) {
    mundo->manifiestosDeEjemplo();
    mundo->clientesDeEjemplo();
    mundo->ejecuto(q("alter table manifiestos rename to manifiestos_fuera"));
    arranco();
    ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Exception);
    // The connection, the settings and the waybill list are there: only the
    // manifest list is missing.
    EXPECT_TRUE(ventana->iniciado());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
    EXPECT_FALSE(ventana->btnGuardar->isEnabled());
    EXPECT_EQ(ventana->cmbManifiesto->count(), 0);

    // The next change of kind queries again.
    mundo->ejecuto(q("alter table manifiestos_fuera rename to manifiestos"));
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Down);
    EXPECT_EQ(idsManifiesto(), (QList<int>{5, 3}));
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Up);
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4, 1}));
    EXPECT_EQ(dialogos.size(), 1u);

    // "Procesar" reads and "Guardar" writes.
    ventana->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana.get()));
    libro({prueba::encabezado(), prueba::filaGuia(q("r"), q("c"), q("G1"), q("M"), 2.0, 1.0, 3.0, q("JPNRT"))});
    procesar();
    EXPECT_EQ(ventana->filas->rowCount(), 1);
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
    eligoManifiesto(4);
    guardar();
    EXPECT_EQ(textos(), (QStringList{dialogos[0].text, q("¡Proceso finalizado")}));
    EXPECT_EQ(mundo->valor(q("select manifiesto from conocimientos where numero = 'G1'")), q("4"));
}

// ------------------------------------------------------------ manifests

TEST_P(Ventana, ListsTheOpenManifestsOfTheKindHighestFirstNoneChosen) {
    mundo->manifiestosDeEjemplo();
    arranco();
    EXPECT_TRUE(ventana->iniciado());
    EXPECT_EQ(itemsManifiesto(), (QStringList{QStringLiteral("000124 - //"), QStringLiteral("000123 - 31/12/2021"),
                                              QStringLiteral("000101 - 05/01/2021")}));
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4, 1}));
    EXPECT_EQ(ventana->cmbManifiesto->currentIndex(), -1);
    EXPECT_EQ(ComboCodigo(ventana->cmbManifiesto), 0);

    QTest::keyClick(ventana->cmbTipo, Qt::Key_Down);  // EGRESO
    ASSERT_EQ(ventana->cmbTipo->currentIndex(), 1);
    EXPECT_EQ(itemsManifiesto(),
              (QStringList{QStringLiteral("000202 - //"), QStringLiteral("000201 - 01/03/2021")}));
    EXPECT_EQ(idsManifiesto(), (QList<int>{5, 3}));
    EXPECT_EQ(ventana->cmbManifiesto->currentIndex(), -1);

    ventana->cmbManifiesto->setCurrentIndex(1);
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Up);  // back to INGRESO
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4, 1}));
    EXPECT_EQ(ventana->cmbManifiesto->currentIndex(), -1);
    EXPECT_TRUE(dialogos.empty());
}

TEST_P(Ventana, NoOpenManifestOfTheKindLeavesTheListEmpty) {
    mundo->ejecuto(QStringLiteral("insert into manifiestos (id, clave, archivado) values (1, '4  0000101', 1)"));
    arranco();
    EXPECT_EQ(ventana->cmbManifiesto->count(), 0);
    EXPECT_TRUE(ventana->iniciado());
}

TEST_P(Ventana, AManifestRowThatFailsPartWayLeavesNoItemChosen) {
    mundo->manifiestosDeEjemplo();
    // Manifest 1's id does not fit a 32-bit integer: its row fails after
    // those of 7 and 4 were listed.
    mundo->ejecuto({q("alter table manifiestos rename to manifiestos_todos"),
                    q("create view manifiestos as select case when id = 1 then -3000000000 else id end as id, "
                      "clave, archivado from manifiestos_todos")});
    arranco();
    ASSERT_EQ(delTipo(vcl::DialogKind::Exception).size(), 1u) << textos().join(u'\n').toStdString();
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4}));
    EXPECT_EQ(ventana->cmbManifiesto->currentIndex(), -1);
    EXPECT_EQ(ComboCodigo(ventana->cmbManifiesto), 0);

    // On a change of kind as well, after a manifest of the other kind was chosen.
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Down);
    EXPECT_EQ(idsManifiesto(), (QList<int>{5, 3}));
    ventana->cmbManifiesto->setCurrentIndex(0);
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Up);
    EXPECT_EQ(delTipo(vcl::DialogKind::Exception).size(), 2u);
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4}));
    EXPECT_EQ(ventana->cmbManifiesto->currentIndex(), -1);
    EXPECT_EQ(ComboCodigo(ventana->cmbManifiesto), 0);
}

TEST_P(Ventana, AFailingManifestQueryOnAChangeOfKindIsShownAndTriedAgainNextTime) {
    mundo->manifiestosDeEjemplo();
    arranco();
    mundo->ejecuto(QStringLiteral("alter table manifiestos rename to manifiestos_fuera"));
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Down);
    ASSERT_EQ(delTipo(vcl::DialogKind::Exception).size(), 1u);
    EXPECT_EQ(ventana->cmbManifiesto->count(), 0);
    mundo->ejecuto(QStringLiteral("alter table manifiestos_fuera rename to manifiestos"));
    QTest::keyClick(ventana->cmbTipo, Qt::Key_Up);
    EXPECT_EQ(idsManifiesto(), (QList<int>{7, 4, 1}));
    EXPECT_EQ(dialogos.size(), 1u);
}

// ------------------------------------------------------------- Procesar

TEST_P(Ventana, ProcesarRefusesAMissingFileNameOrFileAndChangesNothing) {
    mundo->clientesDeEjemplo();
    arranco();
    ventana->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana.get()));
    // A reading that stays in place through every refusal.
    libro({prueba::encabezado(), prueba::filaGuia(q("a"), q("b"), q("G1"), q("M1"), 1.0, 2.0, 3.0, q("JPNRT"))});
    procesar();
    ASSERT_EQ(ventana->filas->rowCount(), 1);
    dialogos.clear();

    struct Caso {
        const char* nombre;
        QString archivo;
        QString mensaje;
    };
    const Caso casos[] = {
        {"empty name", QString(), q("Falta seleccionar el archivo")},
        {"blanks and controls only", q("  \t "), q("Falta seleccionar el archivo")},
        {"no such file", mundo->ruta(q("no-esta.xlsx")), q("El archivo seleccionado no existe")},
        {"a directory is no file", mundo->ruta(q("config")), q("El archivo seleccionado no existe")},
    };
    QDir().mkpath(mundo->ruta(q("config")));
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        dialogos.clear();
        ventana->lista->setFocus();
        ventana->txtArchivo->setText(c.archivo);
        procesar();
        ASSERT_EQ(dialogos.size(), 1u);
        EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Error);
        EXPECT_EQ(dialogos[0].text, c.mensaje);
        EXPECT_TRUE(ventana->txtArchivo->hasFocus());
        EXPECT_EQ(ventana->conocimientos->Count(), 1);
        EXPECT_EQ(ventana->filas->rowCount(), 1);
        EXPECT_TRUE(ventana->btnGuardar->isEnabled());
        EXPECT_TRUE(ventana->btnProcesar->isEnabled());
    }
}

TEST_P(Ventana, ProcesarOnAFileThatIsNoWorkbookShowsTheLoadingMessage) {
    arranco();
    const QString ruta = mundo->ruta(q("no-es-libro.xlsx"));
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("esto no es un libro\n");
    f.close();
    ventana->txtArchivo->setText(QStringLiteral("  ") + ruta + QStringLiteral(" "));
    procesar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Error);
    const QString inicio = q("Se genero un problema al cargar el archivo | Ayuda: ");
    EXPECT_TRUE(dialogos[0].text.startsWith(inicio)) << dialogos[0].text.toStdString();
    EXPECT_GT(dialogos[0].text.size(), inicio.size()) << "the reason follows";
    EXPECT_EQ(ventana->filas->rowCount(), 0);
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
    EXPECT_FALSE(ventana->btnGuardar->isEnabled());

    // After a good reading, a workbook that will not open leaves it to be saved.
    libro({prueba::encabezado(), prueba::filaGuia(q("a"), q("b"), q("G1"), q("M1"), 1.0, 2.0, 3.0, q("JPNRT"))});
    procesar();
    ASSERT_EQ(ventana->filas->rowCount(), 1);
    dialogos.clear();
    ventana->txtArchivo->setText(ruta);
    procesar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_TRUE(dialogos[0].text.startsWith(inicio)) << dialogos[0].text.toStdString();
    ASSERT_EQ(ventana->conocimientos->Count(), 1);
    EXPECT_EQ(ventana->conocimientos->get_item(0).numero, q("G1"));
    EXPECT_EQ(ventana->filas->rowCount(), 1);
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
}

TEST_P(Ventana, ProcesarReadsEveryRowUpToTheFirstEmptyWaybillNumber) {
    mundo->clientesDeEjemplo();
    arranco();
    Fila rara = prueba::filaGuia(q("señor pérez"), q("José O'Neill"), q("g-3"), q("g-3"), Celda{}, Celda{}, Celda{},
                                 q("JPN"));
    rara[2] = q("columna tres");
    libro({
        prueba::encabezado(),
        prueba::filaGuia(q("Exportadora Ñuñoa"), q("importadora del sur"), q("hawb1"), q("MAWB9"), 12.5, 0.25,
                         3.0, q("JPNRT")),
        prueba::filaGuia(q("x"), q("señor pérez"), q("  "), q("m"), 1.0, 2.0, 3.0, q("jpnrt")),
        rara,
        prueba::filaGuia(q("x"), q("codigo cero"), q("G4"), q("M"), 1.0, 2.0, 3.0, q("JPNRTX")),
        prueba::filaGuia(q("x"), q("codigo negativo"), q("G5"), q("M"), 1.0, 2.0, 3.0, QString()),
        prueba::filaGuia(q("x"), q("nadie"), QString(), q("M"), 1.0, 2.0, 3.0, q("JPNRT")),
        prueba::filaGuia(q("no"), q("se lee"), q("G7"), q("M"), q("no es número"), 2.0, 3.0, q("JPNRT")),
    });
    procesar();
    EXPECT_TRUE(dialogos.empty()) << textos().join(u'\n').toStdString();
    ASSERT_EQ(ventana->conocimientos->Count(), 5);

    struct Esperado {
        QString remitente, consignatario, numero, master, embarque;
        double peso, volumen, bultos;
        int idconsignatario;
    };
    const Esperado esperado[] = {
        {q("EXPORTADORA ÑUñOA"), q("IMPORTADORA DEL SUR"), q("HAWB1"), q("MAWB9"), q("JP NRT"), 12.5, 0.25, 3, 101},
        {q("X"), q("SEñOR PéREZ"), q("  "), q("M"), q("jp nrt"), 1, 2, 3, 102},
        {q("SEñOR PéREZ"), q("JOSé O'NEILL"), q("G-3"), q("G-3"), q("JP N"), 0, 0, 0, 103},
        {q("X"), q("CODIGO CERO"), q("G4"), q("M"), q("JP NRT"), 1, 2, 3, 0},
        {q("X"), q("CODIGO NEGATIVO"), q("G5"), q("M"), q(" "), 1, 2, 3, 0},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const TConocimiento& c = ventana->conocimientos->get_item(i);
        EXPECT_EQ(c.remitente, esperado[i].remitente);
        EXPECT_EQ(c.consignatario, esperado[i].consignatario);
        EXPECT_EQ(c.numero, esperado[i].numero);
        EXPECT_EQ(c.master, esperado[i].master);
        EXPECT_EQ(c.embarque, esperado[i].embarque);
        EXPECT_EQ(c.peso, esperado[i].peso);
        EXPECT_EQ(c.volumen, esperado[i].volumen);
        EXPECT_EQ(c.bultos, esperado[i].bultos);
        EXPECT_EQ(c.idconsignatario, esperado[i].idconsignatario);
        EXPECT_EQ(c.notificar, q("NOTIFICAR A"));
        EXPECT_EQ(c.pago, q("PP"));
        EXPECT_EQ(c.descripcion, q("FLORES"));
        EXPECT_EQ(c.destino, q("UY MVD"));
        EXPECT_EQ(c.tipoBultos, q("PCS"));
    }
    ASSERT_EQ(ventana->filas->rowCount(), 5);
    EXPECT_EQ(ventana->filas->text(0, 0), q("HAWB1"));
    EXPECT_EQ(ventana->filas->text(0, 2), q("IMPORTADORA DEL SUR"));
    EXPECT_EQ(ventana->filas->text(0, 3), q("12.5"));
    EXPECT_EQ(ventana->filas->text(2, 1), q("G-3"));
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
}

TEST_P(Ventana, ProcesarWithAnEmptyFirstWaybillNumberGivesAnEmptyList) {
    arranco();
    libro({prueba::encabezado(), prueba::filaGuia(q("a"), q("b"), QString(), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
           prueba::filaGuia(q("a"), q("b"), q("G2"), q("M"), 1.0, 1.0, 1.0, q("JPNRT"))});
    procesar();
    EXPECT_TRUE(dialogos.empty());
    EXPECT_EQ(ventana->conocimientos->Count(), 0);
    EXPECT_EQ(ventana->filas->rowCount(), 0);
    EXPECT_FALSE(ventana->btnGuardar->isEnabled());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
}

TEST_P(Ventana, ABadWeightStopsTheReadingAndKeepsWhatWasRead) {
    mundo->clientesDeEjemplo();
    arranco();
    libro({prueba::encabezado(),
           prueba::filaGuia(q("a"), q("importadora del sur"), q("G1"), q("M1"), 5.0, 1.0, 2.0, q("CNPEK")),
           prueba::filaGuia(q("b"), q("importadora del sur"), q("G2"), q("M2"), q("doce"), 1.0, 2.0, q("CNPEK")),
           prueba::filaGuia(q("c"), q("d"), q("G3"), q("M3"), 1.0, 1.0, 1.0, q("CNPEK"))});
    bool procesarDuranteMensaje = true, guardarDuranteMensaje = true;
    alDialogo = [&](const vcl::DialogRequest&) {
        procesarDuranteMensaje = ventana->btnProcesar->isEnabled();
        guardarDuranteMensaje = ventana->btnGuardar->isEnabled();
    };
    procesar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Message);
    EXPECT_TRUE(dialogos[0].text.startsWith(q("Error : "))) << dialogos[0].text.toStdString();
    EXPECT_GT(dialogos[0].text.size(), 8);
    EXPECT_FALSE(procesarDuranteMensaje) << "both buttons stay disabled while rows are read";
    EXPECT_FALSE(guardarDuranteMensaje);

    ASSERT_EQ(ventana->conocimientos->Count(), 2);
    const TConocimiento& medio = ventana->conocimientos->get_item(1);
    EXPECT_EQ(medio.remitente, q("B"));
    EXPECT_EQ(medio.numero, q("G2"));
    EXPECT_EQ(medio.descripcion, q("FLORES"));
    EXPECT_EQ(medio.peso, 0);
    EXPECT_EQ(medio.volumen, 0);
    EXPECT_EQ(medio.bultos, 0);
    EXPECT_EQ(medio.embarque, q("JP NRT"));
    EXPECT_EQ(medio.idconsignatario, 0);
    EXPECT_EQ(ventana->conocimientos->get_item(0).embarque, q("CN PEK"));
    EXPECT_EQ(ventana->conocimientos->get_item(0).idconsignatario, 101);
    EXPECT_EQ(ventana->filas->rowCount(), 2);
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
}

TEST_P(Ventana, AFailingConsigneeLookupEndsTheReadingAndKeepsTheRowBeingRead) {
    arranco();
    mundo->ejecuto(QStringLiteral("drop table IClientes"));
    libro({prueba::encabezado(),
           prueba::filaGuia(q("a"), q("importadora del sur"), q("G1"), q("M1"), 5.0, 1.5, 2.0, q("CNPEK")),
           prueba::filaGuia(q("b"), q("c"), q("G2"), q("M2"), 1.0, 1.0, 1.0, q("JPNRT"))});
    procesar();
    ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Message);
    EXPECT_TRUE(dialogos[0].text.startsWith(q("Error : "))) << dialogos[0].text.toStdString();
    EXPECT_GT(dialogos[0].text.size(), 8);
    // Every column of the row was read before the lookup; only the code is missing.
    ASSERT_EQ(ventana->conocimientos->Count(), 1);
    const TConocimiento& c = ventana->conocimientos->get_item(0);
    EXPECT_EQ(c.numero, q("G1"));
    EXPECT_EQ(c.consignatario, q("IMPORTADORA DEL SUR"));
    EXPECT_EQ(c.bultos, 2);
    EXPECT_EQ(c.embarque, q("CN PEK"));
    EXPECT_EQ(c.idconsignatario, 0);
    EXPECT_EQ(ventana->filas->rowCount(), 1);
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
}

// The process under the users' own locale, as the program starts under it:
// the C library's locale from the environment, the format settings from it.
class BajoLocaleDeComa {
public:
    BajoLocaleDeComa() {
        if (comma_.ok()) rtl::initFormatSettingsFromLocale();
    }
    bool ok() const { return comma_.ok() && rtl::FormatSettings().DecimalSeparator == u','; }

private:
    vextest::ProcessLocale comma_;
};

TEST_P(Ventana, ProcesarShowsAmountsWithTheLocalesDecimalSeparator) {
    const BajoLocaleDeComa coma;
    ASSERT_TRUE(coma.ok());
    arranco();
    libro({prueba::encabezado(), prueba::filaGuia(q("a"), q("b"), q("G1"), q("M"), 12.5, 0.5, 1.5, q("JPNRT")),
           prueba::filaGuia(q("a"), q("b"), q("G2"), q("M"), q("0,75"), 0.5, 3.0, q("JPNRT"))});
    procesar();
    EXPECT_TRUE(dialogos.empty()) << textos().join(u'\n').toStdString();
    ASSERT_EQ(ventana->filas->rowCount(), 2);
    EXPECT_EQ(ventana->filas->text(0, 3), q("12,5"));
    EXPECT_EQ(ventana->filas->text(0, 4), q("1,5"));
    EXPECT_EQ(ventana->conocimientos->get_item(1).peso, 0.75) << "a text cell reads with the locale's comma";
    EXPECT_EQ(ventana->filas->text(1, 3), q("0,75"));
    EXPECT_EQ(ventana->filas->text(1, 4), q("3"));
}

// A workbook holds a repeated text once, each waybill holds its own copy: a
// small file of long shared texts must not take the program's memory. The
// reading stops, as at any failure while rows are read, once the waybills
// read take more than the bound, keeping them.
TEST_P(Ventana, AReadingPastTheListsMemoryBoundStopsAndKeepsWhatWasRead) {
    arranco();
    const QString largo = QString(32000, u'x');
    std::vector<Fila> filas{prueba::encabezado()};
    for (int i = 1; i <= 1000; ++i)
        filas.push_back(prueba::filaGuia(largo, largo, q("G%1").arg(i), largo, 1.0, 1.0, 1.0, q("JPNRT")));
    libro(filas);
    procesar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Message);
    const std::int32_t leidas = ventana->conocimientos->Count();
    ASSERT_GT(leidas, 1);
    ASSERT_LT(leidas, 1000);
    EXPECT_TRUE(dialogos[0].text.startsWith(q("Error : el libro tiene más guías de las que se pueden importar")))
        << dialogos[0].text.toStdString();
    EXPECT_TRUE(dialogos[0].text.contains(q("hasta la fila %1").arg(leidas + 1))) << dialogos[0].text.toStdString();
    const std::size_t cadaUna = TfrmPrincipal::memoriaDeLaGuia(ventana->conocimientos->get_item(0));
    EXPECT_GT(static_cast<std::size_t>(leidas) * cadaUna, TfrmPrincipal::memoriaMaximaDeLaLista);
    EXPECT_LE(static_cast<std::size_t>(leidas - 1) * cadaUna, TfrmPrincipal::memoriaMaximaDeLaLista);
    EXPECT_EQ(ventana->conocimientos->get_item(leidas - 1).numero, q("G%1").arg(leidas));
    EXPECT_EQ(ventana->conocimientos->get_item(leidas - 1).remitente, QString(32000, u'X'));
    EXPECT_EQ(ventana->filas->rowCount(), leidas);
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());
    EXPECT_TRUE(ventana->btnProcesar->isEnabled());
}

// -------------------------------------------------------------- Guardar

struct Leido {
    QStringList conocimiento;  // manifiesto, numero, master, tipo, nombrecons, ... operacion
    QStringList linea;         // tipobulto, totalbulto, pesobruto, estado, operacion, volumen, descripcion
};

class Guardado : public Ventana {
protected:
    // Starts, reads `filas` (header added) and chooses manifest `manifiesto` (0: none).
    void leo(const std::vector<Fila>& filas, int manifiesto) {
        mundo->manifiestosDeEjemplo();
        mundo->clientesDeEjemplo();
        arranco();
        ventana->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana.get()));
        std::vector<Fila> todas{prueba::encabezado()};
        todas.insert(todas.end(), filas.begin(), filas.end());
        libro(todas);
        procesar();
        ASSERT_TRUE(dialogos.empty()) << textos().join(u'\n').toStdString();
        if (manifiesto != 0) eligoManifiesto(manifiesto);
    }
    std::vector<QStringList> conocimientos() {
        return mundo->filas(q("select id, manifiesto, numero, master, tipo, nombrecons, idconsignatario, embarcador, "
                              "notifyTo, pago_carga, estado, numerodna, embarque, destino, descarga, "
                              "PaisOrigenConsig, operacion from conocimientos order by id"));
    }
    std::vector<QStringList> lineas() {
        return mundo->filas(q("select id, conocimiento, numero, tipobulto, totalbulto, pesobruto, estado, operacion, "
                              "volumen, descripcion from lineas order by id"));
    }
    std::vector<Fila> tres() {
        return {prueba::filaGuia(q("rem uno"), q("importadora del sur"), q("G1"), q("G1"), 12.5, 0.25, 3.0,
                                 q("JPNRT")),
                prueba::filaGuia(q("rem dos"), q("José O'Neill"), q("é2"), q("É2"), 1.0, 1.0, 1.0, q("CNPEK")),
                prueba::filaGuia(q("rem tres"), q("nadie"), q("G3"), q("G3 "), 2.0, 0.0625, 4.0, q("JPNRT"))};
    }
};

TEST_P(Guardado, WritesEveryWaybillAndItsFirstLineThenOnlyUpdates) {
    leo(tres(), 4);
    guardar();
    ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Message);
    EXPECT_EQ(dialogos[0].text, q("¡Proceso finalizado"));

    const auto c = conocimientos();
    ASSERT_EQ(c.size(), 3u);
    const QStringList esperado0 = {q("4"), q("G1"), q("G1"), q("MASTER"), q("IMPORTADORA DEL SUR"), q("101"),
                                   q("REM UNO"), q("NOTIFICAR A"), q("PP"), q("9"), q("0"), q("JP NRT"), q("UY MVD"),
                                   q("UY MVD"), q("858"), q("A")};
    EXPECT_EQ(c[0].mid(1), esperado0);
    EXPECT_EQ(c[1][4], q("HOUSE")) << "é and É differ: only a-z are upper-cased";
    EXPECT_EQ(c[1][5], q("JOSé O'NEILL"));
    EXPECT_EQ(c[1][6], q("103"));
    EXPECT_EQ(c[2][4], q("HOUSE")) << "a blank more";
    EXPECT_EQ(c[2][6], q("0"));

    const auto l = lineas();
    ASSERT_EQ(l.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TConocimiento& w = ventana->conocimientos->get_item(i);
        EXPECT_EQ(w.manif, 4);
        EXPECT_EQ(QString::number(w.id), c[size_t(i)][0]);
        EXPECT_EQ(QString::number(w.lineaId), l[size_t(i)][0]);
        EXPECT_EQ(l[size_t(i)][1], c[size_t(i)][0]);
        EXPECT_EQ(l[size_t(i)][2], q("1"));
        EXPECT_EQ(l[size_t(i)][3], q("PCS"));
        EXPECT_EQ(l[size_t(i)][6], q("9"));
        EXPECT_EQ(l[size_t(i)][7], q("A"));
        EXPECT_EQ(l[size_t(i)][9], q("FLORES"));
    }
    EXPECT_EQ(l[0][4].toDouble(), 3);
    EXPECT_EQ(l[0][5].toDouble(), 12.5);
    EXPECT_EQ(l[0][8].toDouble(), 0.25);
    EXPECT_EQ(l[2][8].toDouble(), 0.063) << "three decimals, a half rounded away from zero";
    EXPECT_TRUE(ventana->btnGuardar->isEnabled());

    // A second run finds every row and only updates.
    mundo->ejecuto(q("update conocimientos set nombrecons = 'CAMBIADO'"));
    mundo->ejecuto(q("update lineas set descripcion = 'CAMBIADA'"));
    guardar();
    EXPECT_EQ(dialogos.size(), 2u);
    EXPECT_EQ(conocimientos(), c);
    EXPECT_EQ(lineas(), l);
}

// "Procesar" then "Guardar" with the whole process under es_UY, as its users
// run it: the grid shows commas, the statements carry points, and the tables
// hold exactly the workbook's amounts.
TEST_P(Guardado, FractionalAmountsAreStoredExactlyUnderACommaLocale) {
    const BajoLocaleDeComa coma;
    ASSERT_TRUE(coma.ok());
    leo({prueba::filaGuia(q("r"), q("c"), q("G1"), q("M"), 12.5, 0.25, 3.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("G2"), q("M"), 12.25, 1.5, 1.5, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("G3"), q("M"), q("0,75"), 0.0625, 2.0, q("JPNRT"))},
        1);
    ASSERT_EQ(ventana->filas->rowCount(), 3);
    EXPECT_EQ(ventana->filas->text(0, 3), q("12,5"));
    EXPECT_EQ(ventana->filas->text(0, 4), q("3"));
    EXPECT_EQ(ventana->filas->text(1, 3), q("12,25"));
    EXPECT_EQ(ventana->filas->text(1, 4), q("1,5"));
    guardar();
    EXPECT_EQ(textos(), QStringList{q("¡Proceso finalizado")});
    // Read back as the database writes them as text, past the grid's format.
    const auto l = mundo->filas(q("select c.numero, cast(l.totalbulto as varchar(30)), "
                                  "cast(l.pesobruto as varchar(30)), cast(l.volumen as varchar(30)) "
                                  "from lineas l join conocimientos c on c.id = l.conocimiento order by c.numero"));
    const bool pg = GetParam() == Motor::PostgreSQL;
    const std::vector<QStringList> esperado = {
        {q("G1"), pg ? q("3") : q("3.0"), q("12.5"), pg ? q("0.250") : q("0.25")},
        {q("G2"), q("1.5"), q("12.25"), pg ? q("1.500") : q("1.5")},
        {q("G3"), pg ? q("2") : q("2.0"), q("0.75"), q("0.063")},
    };
    EXPECT_EQ(l, esperado);
}

TEST_P(Guardado, WithNoManifestChosenTheRowsGoToManifestZero) {
    leo(tres(), 0);
    guardar();
    EXPECT_EQ(textos(), QStringList{q("¡Proceso finalizado")});
    EXPECT_EQ(mundo->valor(q("select count(*) from conocimientos where manifiesto = 0")), q("3"));
}

TEST_P(Guardado, AnExistingWaybillRowWithoutItsLineGetsOnlyTheLine) {
    leo(tres(), 1);
    mundo->ejecuto(q("insert into conocimientos (manifiesto, numero) values (1, 'é2')"));
    const QString id = mundo->valor(q("select id from conocimientos where numero = 'é2'"));
    // The same number in another manifest is not touched.
    mundo->ejecuto(q("insert into conocimientos (manifiesto, numero, master) values (4, 'G1', 'OTRO')"));
    guardar();
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 4);
    EXPECT_EQ(mundo->valor(q("select id from conocimientos where numero = 'é2'")), id);
    EXPECT_EQ(mundo->valor(q("select master from conocimientos where numero = 'é2'")), q("É2"));
    EXPECT_EQ(mundo->valor(q("select master from conocimientos where manifiesto = 4")), q("OTRO"));
    EXPECT_EQ(mundo->cuenta(q("lineas")), 3);
    EXPECT_EQ(mundo->valor(q("select conocimiento from lineas where conocimiento = ") + id), id);
}

// Records the focused row of the grid at each of its paints.
class Pintadas : public QObject {
public:
    explicit Pintadas(QTableView* v) : vista(v) { v->viewport()->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) filas.push_back(vista->currentIndex().row());
        return false;
    }
    QTableView* vista;
    std::vector<int> filas;
};

TEST_P(Guardado, TwoWaybillsWithOneNumberMakeOneRowAndMarkTheFirstTwice) {
    leo({prueba::filaGuia(q("primero"), q("c"), q("G1"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("otro"), q("c"), q("G9"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("segundo"), q("c"), q("G1"), q("M"), 7.0, 1.0, 8.0, q("JPNRT"))},
        1);
    Pintadas pintadas(ventana->lista);
    guardar();
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 2);
    EXPECT_EQ(mundo->cuenta(q("lineas")), 2);
    EXPECT_EQ(mundo->valor(q("select embarcador from conocimientos where numero = 'G1'")), q("SEGUNDO"));
    EXPECT_EQ(mundo->valor(q("select pesobruto from lineas l join conocimientos c on c.id = l.conocimiento "
                             "where c.numero = 'G1'"))
                  .toDouble(),
              7);
    // Painted while the run went on: row 0, row 1, row 0 again.
    std::vector<int> marcas;
    for (int f : pintadas.filas)
        if (f >= 0 && (marcas.empty() || marcas.back() != f)) marcas.push_back(f);
    EXPECT_EQ(marcas, (std::vector<int>{0, 1, 0}));
}

TEST_P(Guardado, AFailureAtTheThirdWaybillKeepsTheFirstTwoAndARerunCompletes) {
    leo({prueba::filaGuia(q("r"), q("c"), q("G1"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("G2"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("G3"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("G4"), q("M"), 1.0, 1.0, 1.0, q("JPNRT"))},
        1);
    mundo->fallaAlActualizar(q("G3"));
    guardar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Exception);
    EXPECT_TRUE(dialogos[0].text.contains(q("G3"))) << dialogos[0].text.toStdString();
    EXPECT_EQ(ventana->lista->currentIndex().row(), 2);
    // G1 and G2 in full, G3 only as inserted, G4 not at all.
    EXPECT_EQ(mundo->valor(q("select count(*) from conocimientos where master = 'M'")), q("2"));
    EXPECT_EQ(mundo->cuenta(q("lineas")), 2);
    EXPECT_EQ(mundo->filas(q("select master from conocimientos where numero = 'G3'")),
              (std::vector<QStringList>{{QString()}}));
    EXPECT_EQ(mundo->valor(q("select count(*) from conocimientos where numero = 'G4'")), q("0"));

    mundo->quitoFalla();
    guardar();
    EXPECT_EQ(dialogos.back().text, q("¡Proceso finalizado"));
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 4);
    EXPECT_EQ(mundo->cuenta(q("lineas")), 4);
    EXPECT_EQ(mundo->valor(q("select count(*) from conocimientos where master = 'M'")), q("4"));
}

TEST_P(Guardado, AnInsertedRowThatCannotBeFoundStopsTheRunNamingTheWaybill) {
    leo({prueba::filaGuia(q("r"), q("c"), q("G1"), q("M"), 1.0, 1.0, 1.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("FANTASMA"), q("M"), 1.0, 1.0, 1.0, q("JPNRT"))},
        1);
    // The row vanishes as soon as it is inserted.
    if (GetParam() == Motor::SQLite) {
        mundo->ejecuto(q("create trigger se_va after insert on conocimientos when new.numero = 'FANTASMA' "
                         "begin delete from conocimientos where id = new.id; end"));
    } else {
        mundo->ejecuto({q("create function se_va() returns trigger language plpgsql as $$ begin "
                          "if new.numero = 'FANTASMA' then return null; end if; return new; end $$"),
                        q("create trigger se_va before insert on conocimientos for each row execute function se_va()")});
    }
    guardar();
    ASSERT_EQ(dialogos.size(), 1u);
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Exception);
    EXPECT_TRUE(dialogos[0].text.contains(q("FANTASMA"))) << dialogos[0].text.toStdString();
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 1);
    EXPECT_EQ(mundo->valor(q("select master from conocimientos where numero = 'G1'")), q("M"));
    EXPECT_EQ(mundo->cuenta(q("lineas")), 1);
}

TEST_P(Guardado, AnInsertedLineThatCannotBeFoundStopsTheRunAndLeavesOtherLinesAlone) {
    leo({prueba::filaGuia(q("r"), q("c"), q("G1"), q("M"), 1.0, 1.0, 2.0, q("JPNRT")),
         prueba::filaGuia(q("r"), q("c"), q("FANTASMA"), q("M"), 9.0, 1.0, 8.0, q("JPNRT"))},
        1);
    // The cargo line of FANTASMA vanishes as soon as it is inserted; its
    // waybill still holds the default line id, which is G1's line.
    if (GetParam() == Motor::SQLite) {
        mundo->ejecuto(q("create trigger se_va after insert on lineas when new.conocimiento in "
                         "(select id from conocimientos where numero = 'FANTASMA') "
                         "begin delete from lineas where id = new.id; end"));
    } else {
        mundo->ejecuto({q("create function se_va() returns trigger language plpgsql as $$ begin "
                          "if exists (select 1 from conocimientos where id = new.conocimiento and numero = "
                          "'FANTASMA') then return null; end if; return new; end $$"),
                        q("create trigger se_va before insert on lineas for each row execute function se_va()")});
    }
    guardar();
    ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
    EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Exception);
    EXPECT_TRUE(dialogos[0].text.contains(q("FANTASMA"))) << dialogos[0].text.toStdString();
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 2);
    ASSERT_EQ(mundo->cuenta(q("lineas")), 1);
    const auto l = mundo->filas(q("select l.id, l.pesobruto, l.totalbulto from lineas l join conocimientos c "
                                  "on c.id = l.conocimiento where c.numero = 'G1'"));
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0][0], QString::number(ventana->conocimientos->get_item(1).lineaId)) << "the same id";
    EXPECT_EQ(l[0][1].toDouble(), 1);
    EXPECT_EQ(l[0][2].toDouble(), 2);
}

TEST_P(Guardado, AnEmptyListSendsNothingAndStillReportsTheEnd) {
    mundo->manifiestosDeEjemplo();
    arranco();
    ventana->btnGuardarClick(ventana->btnGuardar);
    EXPECT_EQ(textos(), QStringList{q("¡Proceso finalizado")});
    EXPECT_EQ(mundo->cuenta(q("conocimientos")), 0);
}

// ------------------------------------------------- characters in cells

// The waybills of tests/data/xls/make_fixtures.py (WAYBILL_ROWS): the .xls
// files there and the .xlsx twins written here hold the same cells.
std::vector<Fila> guiasDeLosLibros() {
    const Celda no{Vacia{}};
    return {
        prueba::encabezado(),
        {q("rem uno"), q("importadora del sur"), q("no se lee"), q("notificar a"), q("G1"), q("M1"), q("pp"),
         q("flores"), 12.5, 0.25, 3.0, q("JPNRT")},
        {q("rem dos"), q("señor pérez"), q("no se lee"), q("notificar b"), q("G2"), q("M1"), q("cc"), q("repuestos"),
         1.0, 2.0, 1.0, q("CNPEK")},
        {q("rem tres"), q("nadie"), q("no se lee"), q("notificar c"), q("G3"), q("G3"), q("pp"), q("muestras"), 2.0,
         0.5, 4.0, q("DEFRA")},
        {q("fin"), q("fin"), QString(), QString(), no, QString(), QString(), QString(), no, no, no, QString()},
        {q("no leida"), q("no leida"), QString(), QString(), q("G9"), q("M9"), q("pp"), q("nada"), 1.0, 1.0, 1.0,
         q("USMIA")},
    };
}

// What text pasted from elsewhere may carry: a vertical tab and a bell (word
// processors), the non-characters U+FFFE and U+FFFF, a NUL, half a surrogate pair.
QString textoRaro() {
    return q("pegado de una carta") + QChar(0x0B) + q("segunda línea") + QChar(0x07) + QChar(0xFFFE) +
           QChar(0xFFFF) + QChar(0) + QChar(0xD800);
}

std::vector<Fila> conCambios(std::vector<Fila> filas, const std::map<std::pair<int, int>, QString>& cambios) {
    for (const auto& [celda, texto] : cambios) {
        Fila& fila = filas[static_cast<std::size_t>(celda.first)];
        if (fila.size() <= static_cast<std::size_t>(celda.second)) fila.resize(static_cast<std::size_t>(celda.second) + 1);
        fila[static_cast<std::size_t>(celda.second)] = texto;
    }
    return filas;
}

enum class Formato { Xlsx, Xls };

std::vector<Formato> formatos() {
#ifdef VEX_HAVE_XLS_READER
    return {Formato::Xlsx, Formato::Xls};
#else
    return {Formato::Xlsx};
#endif
}

class Caracteres : public Guardado {
protected:
    void SetUp() override {
        Guardado::SetUp();
        mundo->manifiestosDeEjemplo();
        mundo->clientesDeEjemplo();
        arranco();
        ventana->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana.get()));
    }
    // Names in the window the .xls fixture `nombre`, or its .xlsx twin written from `filas`.
    QString nombroLibro(Formato formato, const char* nombre, const std::vector<Fila>& filas) {
        QString ruta;
#ifdef VEX_HAVE_XLS_READER
        if (formato == Formato::Xls) ruta = QStringLiteral(VEX_XLS_DATA "/") + QString::fromUtf8(nombre);
#endif
        if (formato == Formato::Xlsx) {
            ruta = mundo->ruta(QString::fromUtf8(nombre) + u'x');
            prueba::escriboLibroConEscapes(ruta, filas);
        }
        vcl::setOpenFileHandler([ruta](const QString&) { return ruta; });
        QTest::mouseClick(ventana->SpeedButton1, Qt::LeftButton);
        return ruta;
    }
    static QString hoja(Formato formato) { return formato == Formato::Xls ? q("Guias") : q("Hoja"); }
    // Every field of every waybill in the list.
    std::vector<QStringList> lista() const {
        std::vector<QStringList> out;
        for (int i = 0; i < ventana->conocimientos->Count(); ++i) {
            const TConocimiento& c = ventana->conocimientos->get_item(i);
            out.push_back({c.remitente, c.consignatario, QString::number(c.idconsignatario), c.notificar, c.numero,
                           c.master, c.pago, c.descripcion, QString::number(c.peso), QString::number(c.volumen),
                           QString::number(c.bultos), c.embarque});
        }
        return out;
    }
    // What "Guardar" wrote into manifest `manifiesto`, row ids left out.
    std::vector<QStringList> guardado(int manifiesto) {
        const QString m = QString::number(manifiesto);
        auto filas = mundo->filas(q("select numero, master, tipo, nombrecons, idconsignatario, embarcador, notifyTo, "
                                    "pago_carga, estado, numerodna, embarque, destino, descarga, PaisOrigenConsig, "
                                    "operacion from conocimientos where manifiesto = ") + m + q(" order by numero"));
        const auto lineas = mundo->filas(
            q("select c.numero, l.numero, l.tipobulto, l.totalbulto, l.pesobruto, l.estado, l.operacion, l.volumen, "
              "l.descripcion from lineas l join conocimientos c on c.id = l.conocimiento where c.manifiesto = ") +
            m + q(" order by c.numero"));
        filas.insert(filas.end(), lineas.begin(), lineas.end());
        return filas;
    }
    void borroGuardado() { mundo->ejecuto({q("delete from lineas"), q("delete from conocimientos")}); }
};

// Column 3, columns past the twelfth, the row that ends the reading (but for
// its column 5) and the rows after it are never read, whatever they hold: the
// workbook imports exactly as the same workbook without those characters.
TEST_P(Caracteres, CellsNeverReadMayHoldAnyCharacter) {
    std::map<std::pair<int, int>, QString> raros;
    for (int r = 1; r <= 3; ++r) raros[{r, 2}] = textoRaro();
    for (int r = 1; r <= 4; ++r) raros[{r, 12}] = textoRaro();
    for (int c = 0; c < 12; ++c)
        if (c != 4) raros[{4, c}] = textoRaro();
    for (int c = 0; c <= 12; ++c) raros[{5, c}] = textoRaro();
    for (const Formato formato : formatos()) {
        SCOPED_TRACE(formato == Formato::Xls ? "xls" : "xlsx");
        dialogos.clear();
        borroGuardado();
        nombroLibro(formato, "waybills-plain.xls", guiasDeLosLibros());
        procesar();
        const auto sinRaros = lista();
        ASSERT_EQ(sinRaros.size(), 3u) << textos().join(u'\n').toStdString();
        EXPECT_EQ(sinRaros[1], (QStringList{q("REM DOS"), q("SEñOR PéREZ"), q("102"), q("NOTIFICAR B"), q("G2"),
                                            q("M1"), q("CC"), q("REPUESTOS"), q("1"), q("2"), q("1"), q("CN PEK")}));
        eligoManifiesto(1);
        guardar();

        nombroLibro(formato, "waybills-odd-characters-unread.xls", conCambios(guiasDeLosLibros(), raros));
        procesar();
        EXPECT_EQ(lista(), sinRaros);
        EXPECT_EQ(ventana->filas->rowCount(), 3);
        eligoManifiesto(4);
        guardar();
        EXPECT_EQ(textos(), (QStringList{q("¡Proceso finalizado"), q("¡Proceso finalizado")}));
        EXPECT_EQ(guardado(4), guardado(1));
        EXPECT_EQ(guardado(4).size(), 6u);
    }
}

// A read cell with a character every database stores as written (a vertical
// tab, a bell, U+FFFE, U+FFFF) is saved with it.
TEST_P(Caracteres, ReadCellsAreSavedWithTheCharactersTheyHold) {
    const QString remitente = q("rem") + QChar(0x07) + q("uno");
    const QString consignatario = q("señor pérez") + QChar(0x0B) + q("segunda línea");
    const QString descripcion = q("flores") + QChar(0xFFFE) + QChar(0xFFFF);
    for (const Formato formato : formatos()) {
        SCOPED_TRACE(formato == Formato::Xls ? "xls" : "xlsx");
        dialogos.clear();
        borroGuardado();
        nombroLibro(formato, "waybills-odd-characters-read.xls",
                    conCambios(guiasDeLosLibros(), {{{1, 0}, remitente}, {{2, 1}, consignatario}, {{1, 7}, descripcion}}));
        procesar();
        ASSERT_EQ(ventana->conocimientos->Count(), 3) << textos().join(u'\n').toStdString();
        EXPECT_EQ(ventana->filas->text(1, 2), q("SEñOR PéREZ") + QChar(0x0B) + q("SEGUNDA LíNEA"));
        eligoManifiesto(1);
        guardar();
        EXPECT_EQ(textos(), QStringList{q("¡Proceso finalizado")});
        EXPECT_EQ(mundo->valor(q("select embarcador from conocimientos where numero = 'G1'")),
                  q("REM") + QChar(0x07) + q("UNO"));
        EXPECT_EQ(mundo->valor(q("select nombrecons from conocimientos where numero = 'G2'")),
                  q("SEñOR PéREZ") + QChar(0x0B) + q("SEGUNDA LíNEA"));
        EXPECT_EQ(mundo->valor(q("select l.descripcion from lineas l join conocimientos c on c.id = l.conocimiento "
                                 "where c.numero = 'G1'")),
                  q("FLORES") + QChar(0xFFFE) + QChar(0xFFFF));
    }
}

// A read cell the program cannot take as written (a NUL, half a surrogate
// pair, a text longer than a cell holds) ends the reading as any failure
// while rows are read does, naming the cell: the rows before it and the
// half-read one are listed.
TEST_P(Caracteres, ACellThatCannotBeTakenEndsTheReadingNamingIt) {
    const struct {
        const char* archivo;
        int columna;  // in row 3, from 0
        QString texto;
        const char* celda;
        const char* porque;
    } casos[] = {
        {"waybills-nul-read.xls", 1, q("señor") + QChar(0) + q("pérez"), "B3", "carácter nulo (U+0000)"},
        {"waybills-lone-surrogate-read.xls", 3, q("notificar") + QChar(0xD800), "D3", "(U+D800"},
        {"waybills-text-longer-than-a-cell.xls", 1, QString(32768, u'x'), "B3", "más de 32767 caracteres"},
    };
    for (const Formato formato : formatos()) {
        for (const auto& c : casos) {
            SCOPED_TRACE(std::string(c.archivo) + (formato == Formato::Xls ? "" : "x"));
            dialogos.clear();
            const QString ruta = nombroLibro(formato, c.archivo, conCambios(guiasDeLosLibros(), {{{2, c.columna}, c.texto}}));
            procesar();
            ASSERT_EQ(dialogos.size(), 1u) << textos().join(u'\n').toStdString();
            EXPECT_EQ(dialogos[0].kind, vcl::DialogKind::Message);
            const QString inicio = q("Error : La celda %1 de la hoja «%2» del archivo \"%3\" ")
                                       .arg(q(c.celda), hoja(formato), ruta);
            EXPECT_TRUE(dialogos[0].text.startsWith(inicio)) << dialogos[0].text.toStdString();
            EXPECT_TRUE(dialogos[0].text.contains(q(c.porque))) << dialogos[0].text.toStdString();
            const auto leidas = lista();
            ASSERT_EQ(leidas.size(), 2u);
            EXPECT_EQ(leidas[0][4], q("G1"));
            EXPECT_EQ(leidas[1][0], q("REM DOS"));
            EXPECT_EQ(leidas[1][1], c.columna == 1 ? QString() : q("SEñOR PéREZ"));
            EXPECT_EQ(leidas[1][4], QString()) << "column 5 comes after the failing cell";
            EXPECT_EQ(leidas[1][2], q("0")) << "no consignee code";
            EXPECT_EQ(ventana->filas->rowCount(), 2);
            EXPECT_TRUE(ventana->btnGuardar->isEnabled());
            EXPECT_TRUE(ventana->btnProcesar->isEnabled());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Motores, Ventana, ::testing::Values(Motor::SQLite, Motor::PostgreSQL), nombreDelCaso);
INSTANTIATE_TEST_SUITE_P(Motores, Guardado, ::testing::Values(Motor::SQLite, Motor::PostgreSQL), nombreDelCaso);
INSTANTIATE_TEST_SUITE_P(Motores, Caracteres, ::testing::Values(Motor::SQLite, Motor::PostgreSQL), nombreDelCaso);

}  // namespace
