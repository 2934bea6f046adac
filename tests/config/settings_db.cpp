#include "tests/config/settings_db.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace vex::test {

namespace {

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(text) == text.size();
}

}  // namespace

std::vector<Engine> availableEngines() {
    std::vector<Engine> e{Engine::SQLite};
    return e;
}

std::string engineName(Engine e) { return e == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

std::unique_ptr<SettingsDb> SettingsDb::start(Engine engine, const QString& dir) {
    // unixODBC keeps the list paths it first saw for the life of the process,
    // so the lists live in one directory per process and every database gets
    // a data source of its own in them.
    static QTemporaryDir lists;
    static int serial = 0;
    if (!lists.isValid()) {
        ADD_FAILURE() << "cannot make a directory for the ODBC lists";
        return nullptr;
    }
    const QString dsn = QStringLiteral("TALVEN%1").arg(++serial);
    std::unique_ptr<SettingsDb> db(new SettingsDb);
    QByteArray odbcinst;
    QByteArray section;
    QByteArray driver;
    if (engine == Engine::SQLite) {
        db->dialect_ = schema::Dialect::SQLite;
        driver = "SQLite3";
        odbcinst = "[SQLite3]\nDriver=" VEX_SQLITE_ODBC_DRIVER "\n";
        section = "Driver=SQLite3\nDatabase=" + QFile::encodeName(dir) + "/agente.db\n";
    } else {
        ADD_FAILURE() << "PostgreSQL is not available in this run";
        return nullptr;
    }
    const QByteArray odbcini = "[ODBC Data Sources]\n" + dsn.toUtf8() + "=" + driver + "\n[" + dsn.toUtf8() +
                               "]\n" + section;
    if (!writeFile(lists.path() + QStringLiteral("/odbcinst.ini"), odbcinst) ||
        !writeFile(lists.path() + QStringLiteral("/odbc.ini"), odbcini)) {
        ADD_FAILURE() << "cannot write the ODBC lists in " << lists.path().toStdString();
        return nullptr;
    }
    setenv("ODBCSYSINI", QFile::encodeName(lists.path()).constData(), 1);
    setenv("ODBCINI", QFile::encodeName(lists.path() + QStringLiteral("/odbc.ini")).constData(), 1);

    db->conn_ = std::make_unique<DBConn>();
    TDBParameters p;
    p.Alias = dsn;
    p.Username = QStringLiteral("sysdba");
    p.Tipo = BDFireDac;
    if (!db->conn_->Connect(p, QString())) {
        // Connect drops the reason; ask the component again for it.
        std::string why = "unknown";
        try {
            db->conn_->FDCDB()->SetConnected(true);
        } catch (const std::exception& e) {
            why = e.what();
        }
        ADD_FAILURE() << "cannot connect to " << dsn.toStdString() << " (" << engineName(engine) << "): " << why;
        return nullptr;
    }
    return db;
}

SettingsDb::~SettingsDb() = default;

}  // namespace vex::test
