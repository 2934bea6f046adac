#include "platform/odbc/odbc.h"

#include "platform/odbc/decimal_text.h"
#include "platform/odbc/driver_probe.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/strings.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QByteArray>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace odbc {

// ---------------------------------------------------------------------------
// Text across the boundary

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC must use 2-byte SQLWCHAR");

// A QString as a null-terminated SQLWCHAR buffer.
std::vector<SQLWCHAR> toWide(const QString& s) {
    std::vector<SQLWCHAR> out(static_cast<size_t>(s.size()) + 1, 0);
    const ushort* p = s.utf16();
    for (qsizetype i = 0; i < s.size(); ++i) out[static_cast<size_t>(i)] = p[i];
    return out;
}

// Characters up to the first NUL of a buffer of at most n characters; a
// driver that reports a length past its buffer, or NULs inside, is tolerated.
QString fromWide(const SQLWCHAR* p, qsizetype n) {
    qsizetype len = 0;
    while (len < n && p[len] != 0) ++len;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), len);
}

QString fromNarrow(const SQLCHAR* p, qsizetype n) {
    qsizetype len = 0;
    while (len < n && p[len] != 0) ++len;
    return QString::fromUtf8(reinterpret_cast<const char*>(p), len);
}

// Removes embedded NULs some drivers leave inside their messages.
QString stripNuls(QString s) {
    s.remove(QChar(u'\0'));
    return s.trimmed();
}

// A driver's message as one line (PostgreSQL's span several, with the
// statement's position on the later ones).
QString oneLine(const QString& s) { return s.simplified(); }

// Hides the values of password keys in a connection string shown in an error.
QString redactConnectionString(const QString& cs) {
    QStringList parts;
    qsizetype i = 0;
    const qsizetype n = cs.size();
    while (i < n) {
        qsizetype eq = cs.indexOf(u'=', i);
        if (eq < 0) {
            parts << cs.mid(i);
            break;
        }
        const QString key = cs.mid(i, eq - i);
        qsizetype j = eq + 1;
        if (j < n && cs[j] == u'{') {
            ++j;
            while (j < n) {
                if (cs[j] == u'}') {
                    if (j + 1 < n && cs[j + 1] == u'}') {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            while (j < n && cs[j] != u';') ++j;
        } else {
            while (j < n && cs[j] != u';') ++j;
        }
        const QString k = rtl::UpperCase(key.trimmed());
        if (k == u"PWD" || k == u"PASSWORD")
            parts << key + QStringLiteral("=***");
        else
            parts << cs.mid(i, j - i);
        i = j + 1;
    }
    parts.removeAll(QString());
    return parts.join(u';');
}

}  // namespace

// ---------------------------------------------------------------------------
// Errors

Error::Error(const QString& operation, const QString& sqlState, std::int32_t nativeCode,
             const QString& driverMessage)
    : rtl::Exception(
          sqlState.isEmpty()
              ? QStringLiteral("%1: %2").arg(operation, driverMessage)
              : QStringLiteral("%1: [%2] (native %3) %4")
                    .arg(operation, sqlState, QString::number(nativeCode), driverMessage)),
      operation_(operation),
      sqlState_(sqlState),
      nativeCode_(nativeCode),
      driverMessage_(driverMessage) {}

namespace {

struct Diagnostics {
    QString sqlState;
    std::int32_t nativeCode = 0;
    QString message;
};

// Reads the diagnostic records of a handle. Bounded, and tolerant of drivers
// that answer repeated calls with garbage or errors: whatever was read up to
// then is kept.
Diagnostics readDiagnostics(SQLSMALLINT type, SQLHANDLE handle, bool narrow) {
    Diagnostics d;
    if (handle == SQL_NULL_HANDLE) return d;
    QStringList messages;
    constexpr SQLSMALLINT kMaxRecords = 8;
    for (SQLSMALLINT rec = 1; rec <= kMaxRecords; ++rec) {
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        QString state;
        QString text;
        if (narrow) {
            SQLCHAR st[6] = {};
            std::vector<SQLCHAR> msg(1024, 0);
            SQLRETURN rc = SQLGetDiagRecA(type, handle, rec, st, &native, msg.data(),
                                          static_cast<SQLSMALLINT>(msg.size()), &len);
            if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(msg.size()) && len < 16000) {
                msg.assign(static_cast<size_t>(len) + 1, 0);
                rc = SQLGetDiagRecA(type, handle, rec, st, &native, msg.data(),
                                    static_cast<SQLSMALLINT>(msg.size()), &len);
            }
            if (!SQL_SUCCEEDED(rc)) break;
            state = fromNarrow(st, 5);
            text = fromNarrow(msg.data(), static_cast<qsizetype>(msg.size()));
        } else {
            SQLWCHAR st[6] = {};
            std::vector<SQLWCHAR> msg(1024, 0);
            SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, st, &native, msg.data(),
                                          static_cast<SQLSMALLINT>(msg.size()), &len);
            if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(msg.size()) && len < 16000) {
                msg.assign(static_cast<size_t>(len) + 1, 0);
                rc = SQLGetDiagRecW(type, handle, rec, st, &native, msg.data(),
                                    static_cast<SQLSMALLINT>(msg.size()), &len);
            }
            if (!SQL_SUCCEEDED(rc)) break;
            state = fromWide(st, 5);
            text = fromWide(msg.data(), static_cast<qsizetype>(msg.size()));
        }
        text = oneLine(stripNuls(text));
        state = stripNuls(state);
        if (rec == 1) {
            d.sqlState = state;
            d.nativeCode = native;
        }
        // Some drivers repeat the same record forever.
        if (!text.isEmpty() && !messages.contains(text)) messages << text;
    }
    d.message = messages.join(QStringLiteral("; "));
    return d;
}

QString returnCodeName(SQLRETURN rc) {
    switch (rc) {
    case SQL_ERROR: return QStringLiteral("SQL_ERROR");
    case SQL_INVALID_HANDLE: return QStringLiteral("SQL_INVALID_HANDLE");
    case SQL_NEED_DATA: return QStringLiteral("SQL_NEED_DATA");
    case SQL_STILL_EXECUTING: return QStringLiteral("SQL_STILL_EXECUTING");
    default: return QString::number(rc);
    }
}

// The one checker: anything but success (with or without info) and, where
// the caller accepts it, SQL_NO_DATA, throws Error with the handle's
// diagnostics or, when the driver left none, our own words.
SQLRETURN check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, bool narrow,
                const QString& operation, bool noDataIsOk = false) {
    if (SQL_SUCCEEDED(rc)) return rc;
    if (rc == SQL_NO_DATA && noDataIsOk) return rc;
    Diagnostics d = rc == SQL_INVALID_HANDLE ? Diagnostics{} : readDiagnostics(type, handle, narrow);
    if (d.message.isEmpty())
        d.message = QStringLiteral("the driver gave no reason (ODBC result %1)").arg(returnCodeName(rc));
    throw Error(operation, d.sqlState, d.nativeCode, d.message);
}

[[noreturn]] void throwState(const QString& operation, const QString& why) {
    throw Error(operation, QString(), 0, why);
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal states

namespace detail {

struct EnvironmentState {
    SQLHENV env = SQL_NULL_HENV;
    ~EnvironmentState() {
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

struct StatementState;

struct ConnectionState {
    std::shared_ptr<EnvironmentState> env;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool open = false;
    bool narrow = false;
    bool autoCommit = true;
    QString dbmsName;
    QString driverName;
    // What block fetching may rely on with this driver (see
    // Statement::setRowArraySize): that it fills row arrays correctly; that
    // SQLSetPos(SQL_POSITION) then SQLGetData reads a row of a block; that no
    // value is longer than the column size it reports.
    bool blockFetch = false;
    bool repositions = false;
    bool declaredSizesHold = false;
    // Statements made on this connection, so closing frees them first.
    std::vector<std::weak_ptr<StatementState>> statements;

    void closeStatements() noexcept;
    void disconnect() noexcept;
    ~ConnectionState() {
        disconnect();
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
};

struct StatementState {
    std::shared_ptr<ConnectionState> conn;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool narrow = false;
    bool textOnlyIntegers = false;  // SQLite: integer columns may hold any text
    bool cursorOpen = false;
    bool hasRow = false;
    int rowArraySize = 1;
    std::int64_t rowCount = -1;
    std::vector<Column> columns;
    std::vector<Value> row;

    // Driver capabilities, copied from the connection.
    bool blockFetch = false;
    bool repositions = false;
    bool declaredSizesHold = false;

    // Block fetching of the current result: one array per column, bound
    // column-wise; the attributes point into this object, which never moves.
    struct BoundColumn {
        SQLSMALLINT cType = 0;
        SQLLEN width = 0;              // bytes per row
        std::vector<std::byte> data;   // blockRows * width
        std::vector<SQLLEN> indicators;
    };
    bool blockMode = false;
    bool blockAttributesSet = false;
    bool blockLoaded = false;
    SQLULEN blockRows = 0;
    SQLULEN rowsFetched = 0;
    SQLULEN blockRow = 0;
    std::vector<SQLUSMALLINT> rowStatus;
    std::vector<BoundColumn> bound;
    // The diagnostics of a block in which a row failed, raised when that row
    // is reached (for drivers that cannot go back to it).
    std::optional<Error> blockError;
    std::int64_t fetchCalls = 0;

    void freeHandle() noexcept {
        if (stmt != SQL_NULL_HSTMT) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            stmt = SQL_NULL_HSTMT;
        }
        cursorOpen = false;
        hasRow = false;
        blockAttributesSet = false;
        dropBlock();
    }
    // Puts the handle back to one row per fetch without bound columns, and
    // forgets the block state.
    void undoBlock() noexcept {
        if (blockAttributesSet && stmt != SQL_NULL_HSTMT) {
            SQLFreeStmt(stmt, SQL_UNBIND);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(1)), 0);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        }
        blockAttributesSet = false;
        dropBlock();
    }
    // Forgets the block state (the buffers too); the handle's attributes are
    // the caller's business.
    void dropBlock() noexcept {
        blockMode = false;
        blockLoaded = false;
        blockRows = rowsFetched = blockRow = 0;
        rowStatus.clear();
        bound.clear();
        blockError.reset();
    }
    ~StatementState() { freeHandle(); }
};

void ConnectionState::closeStatements() noexcept {
    for (auto& w : statements)
        if (auto s = w.lock()) s->freeHandle();
    statements.clear();
}

void ConnectionState::disconnect() noexcept {
    closeStatements();
    if (open) {
        SQLDisconnect(dbc);
        open = false;
    }
}

}  // namespace detail

// ---------------------------------------------------------------------------
// Environment

namespace {
QMutex& environmentMutex() {
    static QMutex m;
    return m;
}
}  // namespace

Environment::Environment(std::shared_ptr<detail::EnvironmentState> state) noexcept
    : state_(std::move(state)) {}

Environment Environment::shared() {
    static std::weak_ptr<detail::EnvironmentState> current;
    QMutexLocker lock(&environmentMutex());
    if (auto s = current.lock()) return Environment(s);
    auto s = std::make_shared<detail::EnvironmentState>();
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &s->env);
    if (!SQL_SUCCEEDED(rc)) {
        s->env = SQL_NULL_HENV;
        throwState(QStringLiteral("Cannot start ODBC"), QStringLiteral("unixODBC could not allocate an environment"));
    }
    check(SQLSetEnvAttr(s->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, s->env, false, QStringLiteral("Cannot select ODBC 3"));
    current = s;
    return Environment(s);
}

void* Environment::handle() const noexcept { return state_ ? state_->env : nullptr; }

// ---------------------------------------------------------------------------
// Connection

namespace {

QString getInfoText(const detail::ConnectionState& c, SQLUSMALLINT info) {
    if (c.narrow) {
        SQLCHAR buf[512] = {};
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetInfoA(c.dbc, info, buf, sizeof buf, &len);
        check(rc, SQL_HANDLE_DBC, c.dbc, true, QStringLiteral("Cannot read the driver's information"));
        return stripNuls(fromNarrow(buf, sizeof buf));
    }
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetInfoW(c.dbc, info, buf, sizeof buf, &len);
    check(rc, SQL_HANDLE_DBC, c.dbc, false, QStringLiteral("Cannot read the driver's information"));
    return stripNuls(fromWide(buf, static_cast<qsizetype>(sizeof buf / sizeof buf[0])));
}

SQLUINTEGER getInfoBits(const detail::ConnectionState& c, SQLUSMALLINT info) {
    SQLUINTEGER bits = 0;
    SQLRETURN rc = c.narrow ? SQLGetInfoA(c.dbc, info, &bits, sizeof bits, nullptr)
                            : SQLGetInfoW(c.dbc, info, &bits, sizeof bits, nullptr);
    return SQL_SUCCEEDED(rc) ? bits : 0;
}

// Which drivers block fetching may be used with, and how. Only drivers seen
// to fill row arrays correctly take part. Of those, the MySQL family claims
// SQL_GD_BLOCK but its SQLSetPos(SQL_POSITION) reads another row of the
// block and upsets the cursor, and the SQLite3 driver's positions are off
// by the block's size; only the PostgreSQL driver reads a row of a block
// back correctly. SQLite stores values of any length whatever a column
// declares.
void detectBlockCapabilities(detail::ConnectionState& c) {
    const QString dbms = c.dbmsName.toLower();
    const bool postgres = dbms.contains(u"postgresql");
    const bool mysqlFamily = dbms.contains(u"mysql") || dbms.contains(u"mariadb");
    const bool sqlite = dbms == u"sqlite";
    c.blockFetch = postgres || mysqlFamily || sqlite;
    c.declaredSizesHold = postgres || mysqlFamily;
    const SQLUINTEGER needed = SQL_GD_BLOCK | SQL_GD_BOUND | SQL_GD_ANY_ORDER;
    c.repositions = postgres && (getInfoBits(c, SQL_GETDATA_EXTENSIONS) & needed) == needed;
}

void requireOpen(const std::shared_ptr<detail::ConnectionState>& s, const QString& operation) {
    if (!s) throwState(operation, QStringLiteral("the connection object was moved away"));
    if (!s->open) throwState(operation, QStringLiteral("the connection is not open"));
}

// Runs one statement on a fresh handle. With firstValue, the first column of
// its first row, read as short ASCII text (empty when there is no row or the
// value is NULL); otherwise any result is discarded.
void execOnce(detail::ConnectionState& c, const QString& sql, const QString& operation,
              QString* firstValue = nullptr) {
    SQLHSTMT h = SQL_NULL_HSTMT;
    check(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &h), SQL_HANDLE_DBC, c.dbc, c.narrow, operation);
    struct Free {
        SQLHSTMT h;
        ~Free() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    } guard{h};
    SQLRETURN rc;
    if (c.narrow) {
        QByteArray u = sql.toUtf8();
        rc = SQLExecDirectA(h, reinterpret_cast<SQLCHAR*>(u.data()), static_cast<SQLINTEGER>(u.size()));
    } else {
        auto w = toWide(sql);
        rc = SQLExecDirectW(h, w.data(), static_cast<SQLINTEGER>(sql.size()));
    }
    check(rc, SQL_HANDLE_STMT, h, c.narrow, operation, true);
    if (!firstValue) return;
    firstValue->clear();
    if (check(SQLFetch(h), SQL_HANDLE_STMT, h, c.narrow, operation, true) == SQL_NO_DATA) return;
    char buf[64] = {};
    SQLLEN ind = 0;
    check(SQLGetData(h, 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_HANDLE_STMT, h, c.narrow, operation);
    if (ind != SQL_NULL_DATA) *firstValue = QString::fromLatin1(buf, qstrnlen(buf, sizeof buf));
}

// PostgreSQL reads a backslash in '...' as an escape while the session's
// standard_conforming_strings is off (postgresql.conf, ALTER DATABASE or
// ALTER ROLE ... SET, the driver's ConnSettings or pqopt): text quoted by
// doubling its quotes could then end the literal early and run as SQL. The
// session is set to the standard reading, committed at once (no later
// rollback may undo it) and read back.
void requireStandardStrings(detail::ConnectionState& c, const QString& connectOperation) {
    const QString op =
        QStringLiteral("%1: the session's standard_conforming_strings cannot be set on").arg(connectOperation);
    execOnce(c, QStringLiteral("SET SESSION standard_conforming_strings = on"), op);
    // A statement, not SQLEndTran: the driver commits only transactions it
    // began itself, and one begun by the data source's ConnSettings would
    // stay open, to take the setting with it when it is rolled back.
    execOnce(c, QStringLiteral("COMMIT"), op);
    QString now;
    execOnce(c, QStringLiteral("SHOW standard_conforming_strings"), op, &now);
    if (now.compare(u"on", Qt::CaseInsensitive) != 0)
        throwState(op, QStringLiteral("the server reports \"%1\" after setting it on; a backslash in quoted "
                                      "text would not be read as itself")
                           .arg(now));
}

}  // namespace

Connection::Connection() : state_(std::make_shared<detail::ConnectionState>()) {
    state_->env = Environment::shared().state_;
    check(SQLAllocHandle(SQL_HANDLE_DBC, state_->env->env, &state_->dbc), SQL_HANDLE_ENV,
          state_->env->env, false, QStringLiteral("Cannot allocate an ODBC connection"));
}

Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::open(const QString& connectionString) {
    const QString operation =
        QStringLiteral("Cannot connect (%1)").arg(redactConnectionString(connectionString));
    if (!state_) throwState(operation, QStringLiteral("the connection object was moved away"));
    if (state_->open) throwState(operation, QStringLiteral("the connection is already open"));

    // A driver without W entry points gets our UTF-8 through the A functions:
    // unixODBC would otherwise convert with the locale's character set.
    const ResolvedDriver resolved = resolveDriver(connectionString);
    const DriverProbe probe = resolved.probe;
    bool narrow = probe == DriverProbe::Narrow;
    const QString& effective = connectionString;

    SQLRETURN rc;
    if (narrow) {
        QByteArray in = effective.toUtf8();
        std::vector<SQLCHAR> out(2048, 0);
        SQLSMALLINT outLen = 0;
        rc = SQLDriverConnectA(state_->dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                               static_cast<SQLSMALLINT>(in.size()), out.data(),
                               static_cast<SQLSMALLINT>(out.size()), &outLen, SQL_DRIVER_NOPROMPT);
    } else {
        auto in = toWide(effective);
        std::vector<SQLWCHAR> out(2048, 0);
        SQLSMALLINT outLen = 0;
        rc = SQLDriverConnectW(state_->dbc, nullptr, in.data(),
                               static_cast<SQLSMALLINT>(effective.size()), out.data(),
                               static_cast<SQLSMALLINT>(out.size()), &outLen, SQL_DRIVER_NOPROMPT);
    }
    if (!SQL_SUCCEEDED(rc)) {
        Diagnostics d = readDiagnostics(SQL_HANDLE_DBC, state_->dbc, narrow);
        if (d.message.isEmpty())
            d.message = QStringLiteral(
                "the driver refused the connection without saying why (is the database file or "
                "server there, and readable?)");
        throw Error(operation, d.sqlState, d.nativeCode, d.message);
    }
    state_->open = true;
    state_->autoCommit = true;
    try {
        state_->narrow = narrow;
        state_->driverName = getInfoText(*state_, SQL_DRIVER_NAME);
        if (probe == DriverProbe::Unknown && driverLibraryIsNarrow(state_->driverName)) {
            // Found out only now; everything from here on goes through A.
            state_->narrow = true;
        }
        state_->dbmsName = getInfoText(*state_, SQL_DBMS_NAME);
        const QString dbms = state_->dbmsName.toLower();
        if (dbms.contains(u"mysql") || dbms.contains(u"mariadb")) {
            // A backslash in a quoted literal must stay a backslash, as on
            // every other engine.
            execOnce(*state_,
                     QStringLiteral("SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
                                    "'NO_BACKSLASH_ESCAPES')"),
                     QStringLiteral("Cannot set the session's sql_mode"));
        } else if (dbms.contains(u"postgresql")) {
            requireStandardStrings(*state_, operation);
        }
        detectBlockCapabilities(*state_);
    } catch (...) {
        state_->disconnect();
        throw;
    }
}

void Connection::close() noexcept {
    if (state_) state_->disconnect();
}

bool Connection::isOpen() const noexcept { return state_ && state_->open; }

QString Connection::dbmsName() const {
    requireOpen(state_, QStringLiteral("Cannot read the database's name"));
    return state_->dbmsName;
}

QString Connection::driverName() const {
    requireOpen(state_, QStringLiteral("Cannot read the driver's name"));
    return state_->driverName;
}

bool Connection::usesNarrowApi() const {
    requireOpen(state_, QStringLiteral("Cannot read the driver's kind"));
    return state_->narrow;
}

void Connection::setAutoCommit(bool on) {
    const QString op = QStringLiteral("Cannot change autocommit");
    requireOpen(state_, op);
    check(SQLSetConnectAttrW(state_->dbc, SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                             SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, state_->dbc, state_->narrow, op);
    state_->autoCommit = on;
}

bool Connection::autoCommit() const {
    requireOpen(state_, QStringLiteral("Cannot read autocommit"));
    return state_->autoCommit;
}

void Connection::commit() {
    const QString op = QStringLiteral("Cannot commit the transaction");
    requireOpen(state_, op);
    check(SQLEndTran(SQL_HANDLE_DBC, state_->dbc, SQL_COMMIT), SQL_HANDLE_DBC, state_->dbc,
          state_->narrow, op);
}

void Connection::rollback() {
    const QString op = QStringLiteral("Cannot roll back the transaction");
    requireOpen(state_, op);
    check(SQLEndTran(SQL_HANDLE_DBC, state_->dbc, SQL_ROLLBACK), SQL_HANDLE_DBC, state_->dbc,
          state_->narrow, op);
}

void Connection::setReadOnly(bool readOnly) {
    const QString op = QStringLiteral("Cannot change the access mode");
    requireOpen(state_, op);
    check(SQLSetConnectAttrW(state_->dbc, SQL_ATTR_ACCESS_MODE,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(readOnly ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE)),
                             SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, state_->dbc, state_->narrow, op);
}

void* Connection::handle() const noexcept { return state_ ? state_->dbc : nullptr; }

// ---------------------------------------------------------------------------
// Statement

namespace {

std::shared_ptr<detail::StatementState> makeStatement(const std::shared_ptr<detail::ConnectionState>& c) {
    const QString op = QStringLiteral("Cannot allocate an ODBC statement");
    requireOpen(c, op);
    auto s = std::make_shared<detail::StatementState>();
    s->conn = c;
    s->narrow = c->narrow;
    s->textOnlyIntegers = c->dbmsName.compare(u"SQLite", Qt::CaseInsensitive) == 0;
    s->blockFetch = c->blockFetch;
    s->repositions = c->repositions;
    s->declaredSizesHold = c->declaredSizesHold;
    check(SQLAllocHandle(SQL_HANDLE_STMT, c->dbc, &s->stmt), SQL_HANDLE_DBC, c->dbc, c->narrow, op);
    // Forget statements already gone, then remember this one.
    std::erase_if(c->statements, [](const std::weak_ptr<detail::StatementState>& w) { return w.expired(); });
    c->statements.push_back(s);
    return s;
}

void requireHandle(const std::shared_ptr<detail::StatementState>& s, const QString& op) {
    if (!s) throwState(op, QStringLiteral("the statement object was moved away"));
    if (s->stmt == SQL_NULL_HSTMT) throwState(op, QStringLiteral("its connection was closed"));
}

enum class FetchAs { Integer, Real, Text };

FetchAs fetchKind(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return FetchAs::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return FetchAs::Real;
    default:
        return FetchAs::Text;
    }
}

void describe(detail::StatementState& s) {
    const QString op = QStringLiteral("Cannot describe the result");
    SQLSMALLINT n = 0;
    check(SQLNumResultCols(s.stmt, &n), SQL_HANDLE_STMT, s.stmt, s.narrow, op);
    s.columns.clear();
    s.columns.resize(static_cast<size_t>(std::max<SQLSMALLINT>(n, 0)));
    for (SQLSMALLINT i = 1; i <= n; ++i) {
        Column& col = s.columns[static_cast<size_t>(i - 1)];
        SQLSMALLINT type = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN, nameLen = 0;
        SQLULEN size = 0;
        if (s.narrow) {
            SQLCHAR name[256] = {};
            check(SQLDescribeColA(s.stmt, static_cast<SQLUSMALLINT>(i), name, sizeof name, &nameLen, &type, &size,
                                  &digits, &nullable),
                  SQL_HANDLE_STMT, s.stmt, true, op);
            std::vector<SQLCHAR> label(1024, 0);
            SQLSMALLINT labelLen = 0;
            SQLRETURN rc = SQLColAttributeA(s.stmt, static_cast<SQLUSMALLINT>(i), SQL_DESC_LABEL, label.data(),
                                            static_cast<SQLSMALLINT>(label.size()), &labelLen, nullptr);
            col.label = SQL_SUCCEEDED(rc) ? stripNuls(fromNarrow(label.data(), static_cast<qsizetype>(label.size())))
                                          : stripNuls(fromNarrow(name, sizeof name));
        } else {
            SQLWCHAR name[256] = {};
            check(SQLDescribeColW(s.stmt, static_cast<SQLUSMALLINT>(i), name, 256, &nameLen, &type, &size,
                                  &digits, &nullable),
                  SQL_HANDLE_STMT, s.stmt, false, op);
            std::vector<SQLWCHAR> label(1024, 0);
            SQLSMALLINT labelLen = 0;
            SQLRETURN rc = SQLColAttributeW(s.stmt, static_cast<SQLUSMALLINT>(i), SQL_DESC_LABEL, label.data(),
                                            static_cast<SQLSMALLINT>(label.size() * sizeof(SQLWCHAR)), &labelLen,
                                            nullptr);
            col.label = SQL_SUCCEEDED(rc) ? stripNuls(fromWide(label.data(), static_cast<qsizetype>(label.size())))
                                          : stripNuls(fromWide(name, 256));
        }
        col.sqlType = type;
        col.size = static_cast<std::int64_t>(size);
        col.decimalDigits = digits;
        col.nullable = nullable != SQL_NO_NULLS;
    }
}

// Reads one column's text in chunks until the driver has delivered it all.
// Returns false for NULL.
bool readText(detail::StatementState& s, SQLUSMALLINT col, QString& out, const QString& op) {
    out.clear();
    if (s.narrow) {
        QByteArray acc;
        std::vector<char> buf(4096);
        for (int guard = 0; guard < 1 << 20; ++guard) {
            SQLLEN ind = 0;
            SQLRETURN rc = SQLGetData(s.stmt, col, SQL_C_CHAR, buf.data(), static_cast<SQLLEN>(buf.size()), &ind);
            if (rc == SQL_NO_DATA) break;
            check(rc, SQL_HANDLE_STMT, s.stmt, true, op);
            if (ind == SQL_NULL_DATA) return false;
            const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                              (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(buf.size()));
            const size_t got = more ? buf.size() - 1 : static_cast<size_t>(std::max<SQLLEN>(ind, 0));
            acc.append(buf.data(), static_cast<qsizetype>(std::min(got, buf.size() - 1)));
            if (!more) break;
        }
        acc.replace('\0', QByteArray());
        out = QString::fromUtf8(acc);
        return true;
    }
    std::vector<SQLWCHAR> buf(4096);
    const SQLLEN bytes = static_cast<SQLLEN>(buf.size() * sizeof(SQLWCHAR));
    for (int guard = 0; guard < 1 << 20; ++guard) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(s.stmt, col, SQL_C_WCHAR, buf.data(), bytes, &ind);
        if (rc == SQL_NO_DATA) break;
        check(rc, SQL_HANDLE_STMT, s.stmt, false, op);
        if (ind == SQL_NULL_DATA) return false;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= bytes);
        const size_t chars = more ? buf.size() - 1
                                  : std::min(buf.size() - 1, static_cast<size_t>(std::max<SQLLEN>(ind, 0)) / sizeof(SQLWCHAR));
        out.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(buf.data()), static_cast<qsizetype>(chars)));
        if (!more) break;
    }
    out.remove(QChar(u'\0'));
    return true;
}

FetchAs effectiveKind(const detail::StatementState& s, size_t i) {
    const FetchAs kind = fetchKind(static_cast<SQLSMALLINT>(s.columns[i].sqlType));
    return kind == FetchAs::Integer && s.textOnlyIntegers ? FetchAs::Text : kind;
}

// Text of column i as read: SQLite declares integer columns that may hold
// anything, so there exact integers become integers and the rest stays text.
void settleText(const detail::StatementState& s, size_t i, QString text, Value& v) {
    v.kind = Value::Kind::Text;
    v.text = std::move(text);
    const int sqlType = s.columns[i].sqlType;
    if (sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC) pointAsDecimalSeparator(v.text);
    if (s.textOnlyIntegers && fetchKind(static_cast<SQLSMALLINT>(s.columns[i].sqlType)) == FetchAs::Integer) {
        bool ok = false;
        const qlonglong n = v.text.toLongLong(&ok);
        if (ok) {
            v.kind = Value::Kind::Integer;
            v.integer = n;
            v.text.clear();
        }
    }
}

// Reads column i of the current row with SQLGetData.
void readValue(detail::StatementState& s, size_t i, Value& v, const QString& op) {
    const auto col = static_cast<SQLUSMALLINT>(i + 1);
    v = Value{};
    const FetchAs kind = effectiveKind(s, i);
    if (kind == FetchAs::Integer) {
        SQLBIGINT n = 0;
        SQLLEN ind = 0;
        check(SQLGetData(s.stmt, col, SQL_C_SBIGINT, &n, sizeof n, &ind), SQL_HANDLE_STMT, s.stmt, s.narrow, op);
        if (ind != SQL_NULL_DATA) {
            v.kind = Value::Kind::Integer;
            v.integer = n;
        }
    } else if (kind == FetchAs::Real) {
        double d = 0;
        SQLLEN ind = 0;
        check(SQLGetData(s.stmt, col, SQL_C_DOUBLE, &d, sizeof d, &ind), SQL_HANDLE_STMT, s.stmt, s.narrow, op);
        if (ind != SQL_NULL_DATA) {
            v.kind = Value::Kind::Real;
            v.real = d;
        }
    } else {
        QString t;
        if (readText(s, col, t, op)) settleText(s, i, std::move(t), v);
    }
}

void readRow(detail::StatementState& s) {
    const QString op = QStringLiteral("Cannot read a value of the result");
    s.row.assign(s.columns.size(), Value{});
    for (size_t i = 0; i < s.columns.size(); ++i) readValue(s, i, s.row[i], op);
}

// ---- Block fetching

constexpr SQLULEN kMaxBlockRows = 1000;
// Text columns are bound only up to this many characters a value.
constexpr std::int64_t kMaxBoundChars = 508;
// Width of a text column bound without a trustworthy size, where longer
// values are read again whole.
constexpr std::int64_t kUnsizedBoundChars = 128;

// Types whose text the column size bounds (in characters, plus sign, point
// and fraction for decimals and times).
bool textBoundedBySize(int sqlType) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_DATETIME:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_GUID:
        return true;
    default:
        return false;
    }
}

// The C type and bytes a row for column i of a block; 0 bytes when the
// column has no buffer its values are sure to fit and the driver cannot go
// back to read a longer one.
SQLLEN boundWidth(const detail::StatementState& s, size_t i, SQLSMALLINT& cType) {
    switch (effectiveKind(s, i)) {
    case FetchAs::Integer: cType = SQL_C_SBIGINT; return sizeof(SQLBIGINT);
    case FetchAs::Real: cType = SQL_C_DOUBLE; return sizeof(double);
    case FetchAs::Text: break;
    }
    const Column& c = s.columns[i];
    const bool sized = s.declaredSizesHold && textBoundedBySize(c.sqlType) && c.size > 0 && c.size <= kMaxBoundChars;
    std::int64_t chars = 0;
    if (sized)
        chars = c.size + 8;
    else if (s.repositions)
        chars = kUnsizedBoundChars;
    else
        return 0;
    // A character takes up to two UTF-16 units or four UTF-8 bytes.
    if (s.narrow) {
        cType = SQL_C_CHAR;
        return static_cast<SQLLEN>(chars * 4 + 1);
    }
    cType = SQL_C_WCHAR;
    return static_cast<SQLLEN>((chars * 2 + 1) * static_cast<std::int64_t>(sizeof(SQLWCHAR)));
}

// Binds the columns of a fresh result to arrays of rowArraySize rows where
// the driver and the columns allow it; leaves the statement row by row
// otherwise (nothing has been fetched yet, so that is always safe).
void setUpBlock(detail::StatementState& s) {
    if (!s.blockFetch || s.rowArraySize <= 1 || s.columns.empty()) return;
    const SQLULEN rows = std::min<SQLULEN>(static_cast<SQLULEN>(s.rowArraySize), kMaxBlockRows);
    std::vector<detail::StatementState::BoundColumn> bound(s.columns.size());
    for (size_t i = 0; i < bound.size(); ++i) {
        auto& b = bound[i];
        b.width = boundWidth(s, i, b.cType);
        if (b.width == 0) return;
        b.data.assign(static_cast<size_t>(b.width) * rows, std::byte{0});
        b.indicators.assign(rows, 0);
    }
    s.bound = std::move(bound);
    s.rowStatus.assign(rows, SQL_ROW_NOROW);
    s.blockAttributesSet = true;
    SQLULEN actual = 0;
    bool ok = SQL_SUCCEEDED(SQLSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0)) &&
              SQL_SUCCEEDED(SQLGetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE, &actual, sizeof actual, nullptr)) &&
              actual == rows &&
              SQL_SUCCEEDED(SQLSetStmtAttr(s.stmt, SQL_ATTR_ROWS_FETCHED_PTR, &s.rowsFetched, 0)) &&
              SQL_SUCCEEDED(SQLSetStmtAttr(s.stmt, SQL_ATTR_ROW_STATUS_PTR, s.rowStatus.data(), 0));
    for (size_t i = 0; ok && i < s.bound.size(); ++i) {
        auto& b = s.bound[i];
        ok = SQL_SUCCEEDED(SQLBindCol(s.stmt, static_cast<SQLUSMALLINT>(i + 1), b.cType, b.data.data(), b.width,
                                      b.indicators.data()));
    }
    if (!ok) {
        s.undoBlock();
        return;
    }
    s.blockRows = rows;
    s.blockMode = true;
}

// Value of column i in row k of the block; false when it did not fit its
// buffer (it must then be read again whole).
bool decodeBound(const detail::StatementState& s, size_t i, SQLULEN k, Value& v) {
    const auto& b = s.bound[i];
    v = Value{};
    const SQLLEN ind = b.indicators[k];
    if (ind == SQL_NULL_DATA) return true;
    const std::byte* p = b.data.data() + static_cast<size_t>(b.width) * k;
    switch (b.cType) {
    case SQL_C_SBIGINT: {
        SQLBIGINT n = 0;
        std::memcpy(&n, p, sizeof n);
        v.kind = Value::Kind::Integer;
        v.integer = n;
        return true;
    }
    case SQL_C_DOUBLE: {
        double d = 0;
        std::memcpy(&d, p, sizeof d);
        v.kind = Value::Kind::Real;
        v.real = d;
        return true;
    }
    case SQL_C_WCHAR: {
        if (ind < 0 || ind > b.width - static_cast<SQLLEN>(sizeof(SQLWCHAR))) return false;
        QString t(static_cast<qsizetype>(static_cast<size_t>(ind) / sizeof(SQLWCHAR)), Qt::Uninitialized);
        std::memcpy(t.data(), p, static_cast<size_t>(t.size()) * sizeof(SQLWCHAR));
        t.remove(QChar(u'\0'));
        settleText(s, i, std::move(t), v);
        return true;
    }
    default: {
        if (ind < 0 || ind > b.width - 1) return false;
        QByteArray bytes(reinterpret_cast<const char*>(p), static_cast<qsizetype>(ind));
        bytes.replace('\0', QByteArray());
        settleText(s, i, QString::fromUtf8(bytes), v);
        return true;
    }
    }
}

// Places the current row of the block in s.row; values that did not fit,
// and rows the driver could not deliver, are read again through
// SQLSetPos where the driver can, and raise otherwise.
void decodeBlockRow(detail::StatementState& s, const QString& op) {
    const SQLULEN k = s.blockRow;
    const SQLUSMALLINT status = s.rowStatus[k];
    s.row.assign(s.columns.size(), Value{});
    auto position = [&] {
        check(SQLSetPos(s.stmt, static_cast<SQLSETPOSIROW>(k + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_HANDLE_STMT,
              s.stmt, s.narrow, op);
    };
    const QString readOp = QStringLiteral("Cannot read a value of the result");
    if (status == SQL_ROW_ERROR || status == SQL_ROW_NOROW) {
        if (s.repositions) {
            position();
            for (size_t i = 0; i < s.columns.size(); ++i) readValue(s, i, s.row[i], readOp);
            return;
        }
        if (s.blockError) throw *s.blockError;
        throwState(op, QStringLiteral("the driver could not deliver the row"));
    }
    bool positioned = false;
    for (size_t i = 0; i < s.columns.size(); ++i) {
        if (decodeBound(s, i, k, s.row[i])) continue;
        if (!s.repositions)
            throwState(readOp, QStringLiteral("the driver delivered a value of column %1 longer than the size it "
                                              "announced (%2)")
                                   .arg(s.columns[i].label)
                                   .arg(s.columns[i].size));
        if (!positioned) position();
        positioned = true;
        readValue(s, i, s.row[i], readOp);
    }
}

// fetch() for a result bound to blocks: serves the rows of the block, and
// fetches the next block once they are used up.
bool fetchInBlocks(detail::StatementState& s, const QString& op) {
    s.hasRow = false;
    if (s.blockLoaded && s.blockRow + 1 < s.rowsFetched) {
        ++s.blockRow;
    } else {
        s.blockLoaded = false;
        s.blockError.reset();
        s.row.clear();
        s.rowsFetched = 0;
        std::fill(s.rowStatus.begin(), s.rowStatus.end(), static_cast<SQLUSMALLINT>(SQL_ROW_NOROW));
        const SQLRETURN rc = SQLFetch(s.stmt);
        ++s.fetchCalls;
        if (rc == SQL_NO_DATA) return false;
        check(rc, SQL_HANDLE_STMT, s.stmt, s.narrow, op);
        if (s.rowsFetched == 0 || s.rowsFetched > s.blockRows)
            throwState(op, QStringLiteral("the driver reported %1 rows in a block of %2")
                               .arg(s.rowsFetched)
                               .arg(s.blockRows));
        if (rc == SQL_SUCCESS_WITH_INFO && !s.repositions &&
            std::find(s.rowStatus.begin(), s.rowStatus.begin() + static_cast<std::ptrdiff_t>(s.rowsFetched),
                      static_cast<SQLUSMALLINT>(SQL_ROW_ERROR)) != s.rowStatus.begin() + static_cast<std::ptrdiff_t>(s.rowsFetched)) {
            Diagnostics d = readDiagnostics(SQL_HANDLE_STMT, s.stmt, s.narrow);
            if (d.message.isEmpty()) d.message = QStringLiteral("the driver could not deliver the row");
            s.blockError = Error(op, d.sqlState, d.nativeCode, d.message);
        }
        s.blockLoaded = true;
        s.blockRow = 0;
    }
    decodeBlockRow(s, op);
    s.hasRow = true;
    return true;
}

[[noreturn]] void throwConversion(const detail::StatementState& s, int column, const QString& value,
                                  const char16_t* what) {
    throw rtl::EConvertError(QStringLiteral("'%1' is not a valid %2 (column %3)")
                                 .arg(value, QString::fromUtf16(what), s.columns[static_cast<size_t>(column)].label));
}

}  // namespace

Statement::Statement(Connection& connection) : state_(makeStatement(connection.state_)) {}
Statement::~Statement() = default;
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;

void Statement::execDirect(const QString& sql) {
    const QString op = QStringLiteral("Cannot execute the statement");
    requireHandle(state_, op);
    closeCursor();
    auto& s = *state_;
    s.columns.clear();
    s.row.clear();
    s.rowCount = -1;
    s.fetchCalls = 0;
    SQLRETURN rc;
    if (s.narrow) {
        QByteArray u = sql.toUtf8();
        rc = SQLExecDirectA(s.stmt, reinterpret_cast<SQLCHAR*>(u.data()), static_cast<SQLINTEGER>(u.size()));
    } else {
        auto w = toWide(sql);
        rc = SQLExecDirectW(s.stmt, w.data(), static_cast<SQLINTEGER>(sql.size()));
    }
    check(rc, SQL_HANDLE_STMT, s.stmt, s.narrow, op, true);
    SQLLEN count = -1;
    if (SQL_SUCCEEDED(SQLRowCount(s.stmt, &count))) s.rowCount = count;
    if (rc == SQL_NO_DATA) {
        s.rowCount = 0;
        return;
    }
    describe(s);
    s.cursorOpen = !s.columns.empty();
    if (s.cursorOpen) setUpBlock(s);
}

bool Statement::hasResultSet() const noexcept { return state_ && state_->cursorOpen; }

int Statement::columnCount() const noexcept {
    return state_ && state_->cursorOpen ? static_cast<int>(state_->columns.size()) : 0;
}

const Column& Statement::column(int column) const {
    if (!state_ || column < 0 || column >= columnCount())
        throw rtl::EListError(QStringLiteral("Column index out of bounds (%1)").arg(column));
    return state_->columns[static_cast<size_t>(column)];
}

void Statement::setRowArraySize(int rows) {
    if (state_) state_->rowArraySize = std::max(rows, 1);
}

int Statement::rowArraySize() const noexcept { return state_ ? state_->rowArraySize : 1; }

bool Statement::fetch() {
    const QString op = QStringLiteral("Cannot fetch the next row");
    requireHandle(state_, op);
    auto& s = *state_;
    if (!s.cursorOpen) throwState(op, QStringLiteral("the statement has no open result"));
    if (s.blockMode) return fetchInBlocks(s, op);
    SQLRETURN rc = SQLFetch(s.stmt);
    ++s.fetchCalls;
    s.hasRow = false;
    if (rc == SQL_NO_DATA) {
        s.row.clear();
        return false;
    }
    check(rc, SQL_HANDLE_STMT, s.stmt, s.narrow, op);
    readRow(s);
    s.hasRow = true;
    return true;
}

bool Statement::hasRow() const noexcept { return state_ && state_->hasRow; }

bool Statement::fetchesInBlocks() const noexcept { return state_ && state_->cursorOpen && state_->blockMode; }

std::int64_t Statement::fetchCallCount() const noexcept { return state_ ? state_->fetchCalls : 0; }

const Value& Statement::value(int column) const {
    if (!hasRow()) throw rtl::Exception(QStringLiteral("There is no current row to read"));
    if (column < 0 || column >= static_cast<int>(state_->row.size()))
        throw rtl::EListError(QStringLiteral("Column index out of bounds (%1)").arg(column));
    return state_->row[static_cast<size_t>(column)];
}

QString Statement::text(int column) const {
    const Value& v = value(column);
    switch (v.kind) {
    case Value::Kind::Null: return QString();
    case Value::Kind::Integer: return QString::number(v.integer);
    case Value::Kind::Real: return QString::number(v.real, 'g', QLocale::FloatingPointShortest);
    case Value::Kind::Text: return v.text;
    }
    return QString();
}

std::int64_t Statement::int64(int column) const {
    const Value& v = value(column);
    switch (v.kind) {
    case Value::Kind::Null: return 0;
    case Value::Kind::Integer: return v.integer;
    case Value::Kind::Real:
        if (std::isfinite(v.real) && std::trunc(v.real) == v.real && std::fabs(v.real) < 9.2e18)
            return static_cast<std::int64_t>(v.real);
        throwConversion(*state_, column, text(column), u"integer");
    case Value::Kind::Text: {
        bool ok = false;
        const qlonglong n = v.text.trimmed().toLongLong(&ok);
        if (ok) return n;
        throwConversion(*state_, column, v.text, u"integer");
    }
    }
    return 0;
}

double Statement::real(int column) const {
    const Value& v = value(column);
    switch (v.kind) {
    case Value::Kind::Null: return 0;
    case Value::Kind::Integer: return static_cast<double>(v.integer);
    case Value::Kind::Real: return v.real;
    case Value::Kind::Text: {
        bool ok = false;
        // A point only: the C locale of QLocale would take "10,125" for 10125.
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        const double d = c.toDouble(v.text.trimmed(), &ok);
        if (ok) return d;
        throwConversion(*state_, column, v.text, u"number");
    }
    }
    return 0;
}

std::int64_t Statement::rowsAffected() const { return state_ ? state_->rowCount : -1; }

void Statement::closeCursor() noexcept {
    if (!state_ || state_->stmt == SQL_NULL_HSTMT) return;
    SQLFreeStmt(state_->stmt, SQL_CLOSE);
    state_->undoBlock();
    state_->cursorOpen = false;
    state_->hasRow = false;
    state_->row.clear();
}

// ---------------------------------------------------------------------------
// Catalog

QStringList Connection::tables(bool includeSynonyms) const {
    const QString op = QStringLiteral("Cannot list the tables");
    requireOpen(state_, op);
    auto s = makeStatement(state_);
    const QString types = includeSynonyms ? QStringLiteral("TABLE,VIEW,SYNONYM") : QStringLiteral("TABLE,VIEW");
    // MySQL-family drivers list every database of the server unless given
    // the current one as catalog.
    QString catalog;
    const QString dbms = state_->dbmsName.toLower();
    if (dbms.contains(u"mysql") || dbms.contains(u"mariadb")) {
        std::vector<SQLWCHAR> buf(512, 0);
        SQLINTEGER len = 0;
        check(SQLGetConnectAttrW(state_->dbc, SQL_ATTR_CURRENT_CATALOG, buf.data(),
                                 static_cast<SQLINTEGER>(buf.size() * sizeof(SQLWCHAR)), &len),
              SQL_HANDLE_DBC, state_->dbc, false, op);
        catalog = fromWide(buf.data(), static_cast<qsizetype>(buf.size()));
    }
    SQLRETURN rc;
    if (s->narrow) {
        QByteArray t = types.toUtf8();
        QByteArray c = catalog.toUtf8();
        rc = SQLTablesA(s->stmt, catalog.isEmpty() ? nullptr : reinterpret_cast<SQLCHAR*>(c.data()),
                        static_cast<SQLSMALLINT>(c.size()), nullptr, 0, nullptr, 0,
                        reinterpret_cast<SQLCHAR*>(t.data()), static_cast<SQLSMALLINT>(t.size()));
    } else {
        auto t = toWide(types);
        auto c = toWide(catalog);
        rc = SQLTablesW(s->stmt, catalog.isEmpty() ? nullptr : c.data(), static_cast<SQLSMALLINT>(catalog.size()),
                        nullptr, 0, nullptr, 0, t.data(), static_cast<SQLSMALLINT>(types.size()));
    }
    check(rc, SQL_HANDLE_STMT, s->stmt, s->narrow, op);
    describe(*s);
    s->cursorOpen = true;
    QStringList names;
    if (s->columns.size() < 4) return names;
    const bool sqlite = state_->dbmsName.compare(u"SQLite", Qt::CaseInsensitive) == 0;
    while (true) {
        SQLRETURN f = SQLFetch(s->stmt);
        if (f == SQL_NO_DATA) break;
        check(f, SQL_HANDLE_STMT, s->stmt, s->narrow, op);
        QString name, type;
        readText(*s, 3, name, op);
        readText(*s, 4, type, op);
        // Drivers differ in how strictly they honour the type filter.
        const QString t = rtl::UpperCase(type.trimmed());
        if (t != u"TABLE" && t != u"VIEW" && !(includeSynonyms && t == u"SYNONYM")) continue;
        // The SQLite3 driver reports SQLite's own tables (sqlite_sequence,
        // sqlite_stat1) as ordinary ones.
        if (sqlite && name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive)) continue;
        names << name;
    }
    return names;
}

// ---------------------------------------------------------------------------
// Connection-string values

QString quoteConnectionValue(const QString& value) {
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
                             (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces) return value;
    QString inner = value;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + inner + u'}';
}

}  // namespace odbc
