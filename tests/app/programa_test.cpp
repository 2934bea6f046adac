// The whole program in a child process: a refused connection shows its one
// message and ends the program with exit code 0 before any window shows;
// a connection that opens shows the window.
#include "config/version.h"
#include "platform/process/process_info.h"
#include "tests/app/support/mundo.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

using prueba::Motor;

struct Salida {
    int codigo = -1;
    QStringList lineas;
};

Salida ejecuto(const QStringList& argumentos) {
    QProcess hijo;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    hijo.setProcessEnvironment(entorno);
    hijo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hijo.start(QStringLiteral(VEX_PROGRAMA_HIJO), argumentos);
    Salida s;
    if (!hijo.waitForFinished(60000)) {
        hijo.kill();
        hijo.waitForFinished();
        return s;
    }
    s.codigo = hijo.exitStatus() == QProcess::NormalExit ? hijo.exitCode() : -2;
    s.lineas = QString::fromUtf8(hijo.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    return s;
}

class Programa : public ::testing::TestWithParam<Motor> {
protected:
    void SetUp() override { mundo = std::make_unique<prueba::Mundo>(GetParam()); }
    // Stores the per-user setting under the child program's key.
    void guardoDBD(const QString& valor) {
        proc::setExeNameForTesting(QStringLiteral(VEX_PROGRAMA_HIJO));
        set_key_value_CURRENT_USER(QStringLiteral("DBD"), valor);
        proc::setExeNameForTesting(mundo->ruta(QStringLiteral("importaguias")));
    }
    // A data source RECHAZA that refuses: a database the server does not
    // have, a file in a directory that does not exist.
    void defineRechaza() {
        if (GetParam() == Motor::PostgreSQL) {
            mundo->odbc().addDsn(
                vextest::DsnList::User, QStringLiteral("RECHAZA"), QStringLiteral("PostgreSQL Unicode"),
                {{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
                 {QStringLiteral("Port"), QString::number(vextest::serverPort(vextest::Engine::Postgres))},
                 {QStringLiteral("Database"), QStringLiteral("no_existe_esta_base")}});
        } else {
            mundo->odbc().addSqliteDsn(QStringLiteral("RECHAZA"), mundo->ruta(QStringLiteral("no/existe/base.db")));
        }
    }
    std::unique_ptr<prueba::Mundo> mundo;
};

TEST_P(Programa, ARefusedConnectionEndsWithCodeZeroAndNoWindow) {
    defineRechaza();
    struct Caso {
        const char* nombre;
        QStringList argumentos;
        QString dbd;
    };
    const Caso casos[] = {
        {"a data source that refuses, through dbExpress", {QStringLiteral("/ALIAS=rechaza")}, QStringLiteral("SQL")},
        {"a data source that refuses, through FireDAC", {QStringLiteral("/ALIAS=rechaza")}, QStringLiteral("FDC")},
        {"a data source nobody defined", {QStringLiteral("/ALIAS=NINGUNO")}, QStringLiteral("FDC")},
        {"an empty data-source name", {QStringLiteral("/ALIAS")}, QStringLiteral("ADO")},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        guardoDBD(c.dbd);
        const Salida s = ejecuto(c.argumentos);
        EXPECT_EQ(s.codigo, 0);
        EXPECT_EQ(s.lineas, QStringList{QStringLiteral("DIALOGO Error: Error al conectar con la base")});
    }
}

TEST_P(Programa, AConnectionThatOpensShowsTheWindow) {
    const Salida s = ejecuto({});
    EXPECT_EQ(s.codigo, 0);
    EXPECT_EQ(s.lineas, QStringList{QStringLiteral("VENTANA")});
}

TEST_P(Programa, QtsOwnOptionsDoNotHideAnAliasArgument) {
    defineRechaza();
    const QStringList rechazo{QStringLiteral("DIALOGO Error: Error al conectar con la base")};
    const QStringList ventana{QStringLiteral("VENTANA")};
    struct Caso {
        const char* nombre;
        QStringList argumentos;
        QStringList salida;
    };
    const Caso casos[] = {
        {"after -platform and its value", {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                           QStringLiteral("/ALIAS=rechaza")}, rechazo},
        {"before -reverse", {QStringLiteral("/ALIAS=rechaza"), QStringLiteral("-reverse")}, rechazo},
        {"taken by Qt as the value of -style", {QStringLiteral("-style"), QStringLiteral("/ALIAS=rechaza")}, rechazo},
        {"taken by Qt as the value of -session", {QStringLiteral("-session"), QStringLiteral("/ALIAS=rechaza")},
         rechazo},
        {"the later one wins though Qt took it",
         {QStringLiteral("/ALIAS=rechaza"), QStringLiteral("-style"), QStringLiteral("/ALIAS=talven")}, ventana},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        const Salida s = ejecuto(c.argumentos);
        EXPECT_EQ(s.codigo, 0);
        EXPECT_EQ(s.lineas, c.salida);
    }
}

INSTANTIATE_TEST_SUITE_P(Motores, Programa, ::testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         [](const ::testing::TestParamInfo<Motor>& i) { return prueba::nombreMotor(i.param); });

}  // namespace
