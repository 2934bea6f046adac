// The ODBC core: a thin, safe C++ layer over unixODBC that the three access
// facades (and nothing else) build on.
//
// Every handle is a move-only RAII object whose release never throws; every
// ODBC return code goes through one checker that throws odbc::Error with the
// driver's SQLSTATE, native code and message. Text crosses the boundary as
// QString: through the W (UTF-16) functions, or, for drivers that have no W
// entry points (the SQLite3 driver), through the A functions with our own
// UTF-8 conversion, so non-ASCII text survives whatever the user's locale.
//
// Typical use:
//     odbc::Connection c;
//     c.open(QStringLiteral("DSN=TALVEN;UID=sysdba;PWD=") + odbc::quoteConnectionValue(pwd));
//     odbc::Statement s(c);
//     s.execDirect(QStringLiteral("select id, nombre from clientes"));
//     while (s.fetch()) { qint64 id = s.int64(0); QString n = s.text(1); }
//
// Column positions are counted from 0 throughout this API.
#pragma once

#include "platform/runtime/exception.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace odbc {

// A failed ODBC call. message() is one line holding what we were doing, the
// SQLSTATE, the native code and the driver's message, e.g.
//   "Cannot connect (DSN=X): [08001] (native 0) could not connect to server"
class Error : public rtl::Exception {
public:
    Error(const QString& operation, const QString& sqlState, std::int32_t nativeCode,
          const QString& driverMessage);
    // What we were doing ("Cannot connect", "Cannot execute the statement").
    const QString& operation() const noexcept { return operation_; }
    // Five-character SQLSTATE of the first diagnostic record; empty when the
    // driver gave none.
    const QString& sqlState() const noexcept { return sqlState_; }
    std::int32_t nativeCode() const noexcept { return nativeCode_; }
    // The driver's text of all diagnostic records, joined by "; "; where the
    // driver gave none, our own words for what failed.
    const QString& driverMessage() const noexcept { return driverMessage_; }

private:
    QString operation_;
    QString sqlState_;
    std::int32_t nativeCode_;
    QString driverMessage_;
};

namespace detail {
struct EnvironmentState;
struct ConnectionState;
struct StatementState;
}  // namespace detail

// The process's ODBC 3 environment. One is shared by every connection and
// lives as long as the last of them; callers rarely need it directly.
class Environment {
public:
    // The shared instance, made on first use. Throws Error when unixODBC
    // cannot allocate it.
    static Environment shared();
    // The raw SQLHENV (as void*), valid while this object lives.
    void* handle() const noexcept;

private:
    explicit Environment(std::shared_ptr<detail::EnvironmentState> state) noexcept;
    std::shared_ptr<detail::EnvironmentState> state_;
    friend class Connection;
};

// One database connection. Move-only; closing happens in the destructor too.
// Statements made on it stay safe after it closes: their handles are freed
// first and they then report "not open" errors.
class Connection {
public:
    // Allocates the connection handle (not yet connected). Throws Error.
    Connection();
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects with SQLDriverConnect and SQL_DRIVER_NOPROMPT. Values inside
    // the string must be quoted with quoteConnectionValue(). A backslash in a
    // quoted literal is an ordinary character on every engine: on a
    // MySQL-family server the session's sql_mode gains NO_BACKSLASH_ESCAPES,
    // on PostgreSQL the session's standard_conforming_strings is set on
    // (whatever the server, database, role or data source says) and read
    // back. Requires the connection to be closed. Throws Error (the
    // connection stays closed), also when that setting cannot be made.
    void open(const QString& connectionString);
    // Frees every statement made on it, rolls back nothing explicitly (the
    // driver decides), disconnects. Never throws; harmless when closed.
    void close() noexcept;
    bool isOpen() const noexcept;

    // SQL_DBMS_NAME ("SQLite", "PostgreSQL", "MariaDB", ...). Requires open.
    QString dbmsName() const;
    // SQL_DRIVER_NAME, the driver's file name ("psqlodbcw.so"). Requires open.
    QString driverName() const;
    // True when the driver has no W entry points and text goes through the A
    // functions as UTF-8 (the SQLite3 driver). Requires open.
    bool usesNarrowApi() const;

    // SQL_ATTR_AUTOCOMMIT. Autocommit is on after open. Throws Error.
    void setAutoCommit(bool on);
    bool autoCommit() const;
    // SQLEndTran on this connection. Throws Error.
    void commit();
    void rollback();
    // SQL_ATTR_ACCESS_MODE read-only (a hint some drivers ignore). Throws Error.
    void setReadOnly(bool readOnly);

    // Names of the tables and views of the database (SQLTables, types
    // "TABLE" and "VIEW", plus "SYNONYM" when asked), without system tables,
    // in the driver's order. Throws Error.
    QStringList tables(bool includeSynonyms) const;

    // The raw SQLHDBC (as void*); null when the handle was moved away.
    void* handle() const noexcept;

private:
    std::shared_ptr<detail::ConnectionState> state_;
    friend class Statement;
};

// One result value, as the driver delivered it.
struct Value {
    enum class Kind { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;  // Kind::Integer
    double real = 0;           // Kind::Real
    QString text;              // Kind::Text (also exact decimals, dates as the driver writes them)
    bool isNull() const noexcept { return kind == Kind::Null; }
};

// Description of one result column.
struct Column {
    QString label;             // SQL_DESC_LABEL exactly as the driver reports it
    int sqlType = 0;           // SQL data type (SQL_INTEGER, SQL_WVARCHAR, ...)
    std::int64_t size = 0;     // column size in characters or digits (0 when unknown)
    int decimalDigits = 0;
    bool nullable = true;      // false only when the driver says SQL_NO_NULLS
};

// One statement on a connection. Move-only; must not be used from two
// threads at once.
class Statement {
public:
    // Allocates a statement handle on an open connection. Throws Error.
    explicit Statement(Connection& connection);
    ~Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Closes any open cursor, then runs sql with SQLExecDirect. A statement
    // that succeeds with SQL_NO_DATA (an UPDATE of no rows) is no error.
    // Throws Error with the driver's diagnostics.
    void execDirect(const QString& sql);
    // Whether the last execDirect produced a result set (a cursor is open).
    bool hasResultSet() const noexcept;
    // Number of result columns (0 without a result set).
    int columnCount() const noexcept;
    // Column description; requires 0 <= column < columnCount().
    const Column& column(int column) const;
    QString columnLabel(int column) const { return this->column(column).label; }
    int columnSqlType(int column) const { return this->column(column).sqlType; }

    // Rows per fetch round trip requested from the driver (default 1). Takes
    // effect at the next execDirect. Values below 1 count as 1; blocks hold
    // at most 1000 rows whatever is set.
    //
    // A result is fetched in blocks (columns bound to arrays, one SQLFetch per
    // block) only where that cannot change a value: on drivers known to
    // deliver blocks correctly (PostgreSQL, MySQL family, SQLite), and only
    // when every column has a buffer it cannot overflow, or the driver can go
    // back to a row of the block to read an overlong value whole
    // (PostgreSQL). Otherwise it is fetched row by row. Either way fetch()
    // and the values it places are the same.
    void setRowArraySize(int rows);
    int rowArraySize() const noexcept;

    // Advances to the next row; false (and no current row) once the rows are
    // exhausted. Requires a result set. Throws Error; a row the driver could
    // not deliver raises when it is reached, after the rows before it.
    bool fetch();
    // Whether fetch() has placed a current row.
    bool hasRow() const noexcept;

    // Whether the current result is fetched in blocks (see setRowArraySize).
    bool fetchesInBlocks() const noexcept;
    // SQLFetch calls made on the current result so far: one per row (plus
    // the one that finds the end) row by row, one per block in blocks.
    std::int64_t fetchCallCount() const noexcept;

    // Values of the current row; require hasRow() and a valid column.
    const Value& value(int column) const;
    bool isNull(int column) const { return value(column).isNull(); }
    // The value as text: NULL as empty text, integers in decimal, reals in
    // their shortest exact form with a point.
    QString text(int column) const;
    // The value as a 64-bit integer: NULL as 0. Throws rtl::EConvertError,
    // naming the column and the value, when it is not an integer.
    std::int64_t int64(int column) const;
    // The value as a double: NULL as 0. Throws rtl::EConvertError, naming
    // the column and the value, when it is not a number (text is read with
    // a point as decimal separator).
    double real(int column) const;

    // SQLRowCount of the last execDirect (-1 when the driver does not know).
    std::int64_t rowsAffected() const;
    // Closes the cursor (if any) so the statement can run again. Never throws.
    void closeCursor() noexcept;

private:
    std::shared_ptr<detail::StatementState> state_;
};

// A value for an ODBC connection string: as it is when it holds no ";",
// "{", "}" and no leading or trailing blank, else enclosed in braces with
// every "}" doubled, so no value can add or change keys.
QString quoteConnectionValue(const QString& value);

// The driver of a data source in unixODBC's user list (odbc.ini under
// ODBCINI / ~/.odbc.ini) or system list (ODBCSYSINI's odbc.ini): its entry in
// the list's "ODBC Data Sources" section (an entry written empty reads as
// empty) or, where it has none, the "Driver" key of its own section. Names
// compare without regard to case. Empty when the data source is absent.
// Reads the files afresh on each call (through unixODBC's own API).
QString userDataSourceDriver(const QString& dataSource);
QString systemDataSourceDriver(const QString& dataSource);

}  // namespace odbc
