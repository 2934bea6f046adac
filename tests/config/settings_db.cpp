#include "tests/config/settings_db.h"

#include "database/VexQuery.h"

#include <stdexcept>

namespace vex::test {

std::vector<Engine> allEngines() { return {Engine::SQLite, Engine::PostgreSQL}; }

std::string engineName(Engine e) { return e == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

SettingsDb::SettingsDb(Engine engine)
    : dialect_(engine == Engine::SQLite ? schema::Dialect::SQLite : schema::Dialect::PostgreSQL) {
    const QString dsn = QStringLiteral("TALVEN");
    if (engine == Engine::SQLite) {
        env_.addSqliteDsn(dsn, env_.filePath(QStringLiteral("agente.db")));
    } else {
        server_ = std::make_unique<vextest::ScratchDatabase>(vextest::Engine::Postgres);
        env_.addPostgresDsn(dsn, server_->name());
    }
    conn_ = std::make_unique<DBConn>();
    TDBParameters p;
    p.Alias = dsn;
    p.Username = QString::fromUtf16(vextest::kServerUser);
    p.Password = QString::fromUtf16(vextest::kServerPassword);
    p.Tipo = BDFireDac;
    if (!conn_->Connect(p, QString())) {
        // Connect drops the reason; ask the component again for it.
        std::string why = "unknown";
        try {
            conn_->FDCDB()->SetConnected(true);
        } catch (const std::exception& e) {
            why = e.what();
        }
        throw std::runtime_error("cannot connect to TALVEN (" + engineName(engine) + "): " + why);
    }
    vextest::requireDbms(conn_->FDCDB()->odbcConnection(),
                         engine == Engine::SQLite ? vextest::Dbms::SQLite : vextest::Dbms::PostgreSQL, dsn);
    TVexQuery q(*conn_);
    for (const QString& s : schema::statements(dialect_)) {
        q.SetActive(false);
        q.SQL().clear();
        q.SQL().append(s);
        q.ExecSQL();
    }
}

SettingsDb::~SettingsDb() {
    // The connection goes before its database is dropped.
    conn_.reset();
}

}  // namespace vex::test
