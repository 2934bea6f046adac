#include "tests/support/odbc_test_env.h"

#include "platform/odbc/odbc.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSaveFile>

#include <odbcinst.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#ifndef VEX_TEST_SERVERS_DIR
#error "VEX_TEST_SERVERS_DIR must name the build tree's test-servers directory"
#endif
#ifndef VEX_ODBC_DRIVER_DIR
#error "VEX_ODBC_DRIVER_DIR must name the directory of the ODBC driver libraries"
#endif

namespace vextest {

namespace {

std::optional<QByteArray> saveVar(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qgetenv(name);
}

void restoreVar(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

void writeFile(const QString& path, const QByteArray& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// unixODBC caches what it reads from the ini files for 20 s (the driver
// manager and the drivers read DSN keys through that cache too); a successful
// write through its API empties the cache, so do one into a scratch file.
void forgetCachedIniValues(const QString& dir) {
    const QByteArray scratch = QFile::encodeName(dir + QStringLiteral("/cache-reset.ini"));
    SQLWritePrivateProfileString("reset", "count", "1", scratch.constData());
}

// The driver manager (libodbc) carries a private copy of the ini reader with
// its own cache: it remembers what a data source's Driver key said for 20 s
// from the first lookup (one-second clock), and exports nothing to empty it.
// Within that time a name written anew with another driver still reaches the
// old one, and with it whatever that driver makes of the new keys (an SQLite
// file named after a PostgreSQL database, with any password "accepted").
constexpr auto kDriverManagerCacheLife = std::chrono::seconds(21);

// The drivers of the odbcinst.ini that every environment shares.
constexpr struct {
    const char* name;
    const char* file;
} kInstalledDrivers[] = {
    {"SQLite3", "libsqlite3odbc.so"},
    {"PostgreSQL Unicode", "psqlodbcw.so"},
    {"MariaDB Unicode", "libmaodbc.so"},
    {"MDBTools", "libmdbodbc.so"},
};

bool isInstalledDriver(const QString& name) {
    for (const auto& d : kInstalledDrivers)
        if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The driver each data-source name had when this process last wrote it.
QHash<QString, QString>& writtenDrivers() {
    static QHash<QString, QString> drivers;
    return drivers;
}

// Waits until no copy of the driver manager's can hold a Driver key older
// than now, then has it drop its expired entries: it removes one per lookup
// and, until removed, an expired entry still answers. Lookups of a name that
// exists nowhere each cost a refused connect.
void outwaitDriverManagerCache(const QString& name, const QString& from, const QString& to) {
    std::fprintf(stderr,
                 "[odbc_test_env] data source %s goes from driver \"%s\" to \"%s\" in this process: waiting %d s "
                 "for unixODBC's driver manager to forget the old one\n",
                 qPrintable(name), qPrintable(from), qPrintable(to),
                 static_cast<int>(kDriverManagerCacheLife.count()));
    std::this_thread::sleep_for(kDriverManagerCacheLife);
    for (int i = 0; i < 64; ++i) {
        try {
            odbc::Connection c;
            c.open(QStringLiteral("DSN=VEX_TEST_NO_SUCH_SOURCE"));
        } catch (const odbc::Error&) {
        }
    }
}

QString driverPath(const char* file) {
    return QStringLiteral(VEX_ODBC_DRIVER_DIR "/") + QString::fromLatin1(file);
}

QString serversDir() {
    const QByteArray over = qgetenv("VEX_TEST_SERVERS_DIR");
    return over.isEmpty() ? QStringLiteral(VEX_TEST_SERVERS_DIR) : QString::fromLocal8Bit(over);
}

// unixODBC reads ODBCSYSINI once per process and keeps that directory, so
// every environment of a process shares one system directory (made on first
// use, with the odbcinst.ini of the installed drivers) and empties its
// odbc.ini; the user list (ODBCINI is read on every call) is per environment.
const QString& systemDir() {
    static QTemporaryDir dir;
    static const bool made = [] {
        if (!dir.isValid()) throw std::runtime_error("cannot make a temporary directory for ODBC files");
        QByteArray inst;
        for (const auto& d : kInstalledDrivers) {
            inst += '[' + QByteArray(d.name) + "]\nDescription = " + d.name + "\nDriver = " +
                    driverPath(d.file).toUtf8() + "\nUsageCount = 1\n\n";
        }
        writeFile(dir.filePath(QStringLiteral("odbcinst.ini")), inst);
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

}  // namespace

OdbcTestEnv::OdbcTestEnv() {
    if (!dir_.isValid()) throw std::runtime_error("cannot make a temporary directory for ODBC files");
    savedOdbcIni_ = saveVar("ODBCINI");
    savedOdbcSysIni_ = saveVar("ODBCSYSINI");
    writeFile(iniPath(DsnList::User), QByteArray());
    writeFile(iniPath(DsnList::System), QByteArray());
    qputenv("ODBCINI", QFile::encodeName(iniPath(DsnList::User)));
    qputenv("ODBCSYSINI", QFile::encodeName(systemDir()));
    forgetCachedIniValues(dir());
}

OdbcTestEnv::~OdbcTestEnv() {
    restoreVar("ODBCINI", savedOdbcIni_);
    restoreVar("ODBCSYSINI", savedOdbcSysIni_);
    try {
        writeFile(iniPath(DsnList::System), QByteArray());
    } catch (...) {
        // Best effort: the next environment empties it anyway.
    }
    forgetCachedIniValues(dir());
}

QString OdbcTestEnv::dir() const { return dir_.path(); }

QString OdbcTestEnv::filePath(const QString& name) const { return dir_.filePath(name); }

QString OdbcTestEnv::iniPath(DsnList list) const {
    return list == DsnList::System ? systemDir() + QStringLiteral("/odbc.ini") : filePath(QStringLiteral("odbc.ini"));
}

void OdbcTestEnv::addDsn(DsnList list, const QString& name, const QString& driver, const DsnKeys& keys,
                         std::optional<QString> listEntry) {
    Section s{name, {{QStringLiteral("Driver"), driver}}};
    s.keys += keys;
    auto& sections = list == DsnList::User ? user_ : system_;
    auto& entries = list == DsnList::User ? userEntries_ : systemEntries_;
    sections.push_back(s);
    if (listEntry) entries.push_back({name, *listEntry});
    rewrite(list);

    // Only an old driver that is installed can answer a connect in the new
    // one's place; a made-up one (engine detection tests) fails it outright.
    const QString key = name.toUpper();
    const auto earlier = writtenDrivers().constFind(key);
    if (earlier != writtenDrivers().constEnd() && isInstalledDriver(*earlier) &&
        earlier->compare(driver, Qt::CaseInsensitive) != 0)
        outwaitDriverManagerCache(name, *earlier, driver);
    writtenDrivers().insert(key, driver);
}

void OdbcTestEnv::writeIni(DsnList list, const QByteArray& text) {
    writeFile(iniPath(list), text);
    forgetCachedIniValues(dir());
}

void OdbcTestEnv::rewrite(DsnList list) {
    const auto& sections = list == DsnList::User ? user_ : system_;
    const auto& entries = list == DsnList::User ? userEntries_ : systemEntries_;
    QByteArray text;
    if (!entries.isEmpty()) {
        text += "[ODBC Data Sources]\n";
        for (const auto& e : entries) text += e.first.toUtf8() + " = " + e.second.toUtf8() + '\n';
        text += '\n';
    }
    for (const auto& s : sections) {
        text += '[' + s.name.toUtf8() + "]\n";
        for (const auto& k : s.keys) text += k.first.toUtf8() + " = " + k.second.toUtf8() + '\n';
        text += '\n';
    }
    writeFile(iniPath(list), text);
    forgetCachedIniValues(dir());
}

void OdbcTestEnv::addSqliteDsn(const QString& name, const QString& file, DsnList list) {
    addDsn(list, name, QStringLiteral("SQLite3"), {{QStringLiteral("Database"), file}}, QStringLiteral("SQLite3"));
}

void OdbcTestEnv::addPostgresDsn(const QString& name, const QString& database, DsnList list) {
    addDsn(list, name, QStringLiteral("PostgreSQL Unicode"),
           {{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("Port"), QString::number(serverPort(Engine::Postgres))},
            {QStringLiteral("Database"), database}},
           QStringLiteral("PostgreSQL Unicode"));
}

void OdbcTestEnv::addMariaDbDsn(const QString& name, const QString& database, DsnList list) {
    addDsn(list, name, QStringLiteral("MariaDB Unicode"),
           {{QStringLiteral("Server"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("Port"), QString::number(serverPort(Engine::MariaDb))},
            {QStringLiteral("Database"), database}},
           QStringLiteral("MariaDB Unicode"));
}

const char* dbmsName(Dbms dbms) {
    switch (dbms) {
    case Dbms::SQLite: return "SQLite";
    case Dbms::PostgreSQL: return "PostgreSQL";
    case Dbms::MariaDB: return "MariaDB";
    }
    return "?";
}

void requireDbms(const odbc::Connection& connection, Dbms expected, const QString& what) {
    const QString actual = connection.dbmsName();
    if (!actual.contains(QString::fromLatin1(dbmsName(expected)), Qt::CaseInsensitive))
        throw std::runtime_error("the test asked for " + std::string(dbmsName(expected)) + " but its connection to " +
                                 what.toStdString() + " is on " + actual.toStdString() + " (driver " +
                                 connection.driverName().toStdString() + ")");
}

int serverPort(Engine engine) {
    const char* file = engine == Engine::Postgres ? "pg.port" : "mariadb.port";
    const char* fixture = engine == Engine::Postgres ? "pg_server" : "mariadb_server";
    QFile f(serversDir() + u'/' + QString::fromLatin1(file));
    bool ok = false;
    int port = 0;
    if (f.open(QIODevice::ReadOnly)) port = QString::fromLatin1(f.readAll()).trimmed().toInt(&ok);
    if (!ok || port <= 0)
        throw std::runtime_error(std::string("the test database server is not running (no ") + f.fileName().toStdString() +
                                 "): run the test through ctest with FIXTURES_REQUIRED " + fixture);
    return port;
}

QString serverConnectionString(Engine engine, const QString& database) {
    const QString port = QString::number(serverPort(engine));
    const QString login = QStringLiteral("UID=%1;PWD=%2").arg(QString::fromUtf16(kServerUser), QString::fromUtf16(kServerPassword));
    if (engine == Engine::Postgres)
        return QStringLiteral("DRIVER=%1;Servername=127.0.0.1;Port=%2;Database=%3;%4")
            .arg(driverPath("psqlodbcw.so"), port, odbc::quoteConnectionValue(database), login);
    return QStringLiteral("DRIVER=%1;Server=127.0.0.1;Port=%2;Database=%3;%4")
        .arg(driverPath("libmaodbc.so"), port, odbc::quoteConnectionValue(database), login);
}

namespace {

QString maintenanceDatabase(Engine engine) {
    return engine == Engine::Postgres ? QStringLiteral("postgres") : QStringLiteral("mysql");
}

void runOnServer(Engine engine, const QString& sql) {
    odbc::Connection c;
    c.open(serverConnectionString(engine, maintenanceDatabase(engine)));
    odbc::Statement s(c);
    s.execDirect(sql);
}

}  // namespace

ScratchDatabase::ScratchDatabase(Engine engine) : engine_(engine) {
    static QAtomicInt counter;
    name_ = QStringLiteral("vt_%1_%2_%3")
                .arg(QString::number(::getpid()), QString::number(counter.fetchAndAddRelaxed(1)),
                     QString::number(QRandomGenerator::global()->bounded(1000000)));
    runOnServer(engine, engine == Engine::Postgres
                            ? QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(name_)
                            : QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci").arg(name_));
}

ScratchDatabase::~ScratchDatabase() {
    try {
        runOnServer(engine_, engine_ == Engine::Postgres ? QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_)
                                                         : QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name_));
    } catch (...) {
        // The server goes away with the run; a leftover database is harmless.
    }
}

QString ScratchDatabase::connectionString() const { return serverConnectionString(engine_, name_); }

}  // namespace vextest
