// Unit VexQuery: TVexQuery, the one way the program runs SQL. An object holds
// one statement on one connection of one access kind and hides which of the
// three kinds carries it.
//
// Calling order: SetActive(false) (closes, empties Parameters), SQL().clear()
// and add the lines, add "name=value" entries to Parameters(), then either
// SetActive(true) and read (while !Eof(): FieldByName(...).AsString() ...,
// Next()) or ExecSQL(). Placeholders ":name" are replaced textually when the
// statement opens; text values must be quoted by the caller (StrQuoted).
//
// Properties map to methods: SQL() / SetQuery(), Active() / SetActive(),
// Eof(), RecordCount(), Dataset(), Parameters(), Driver() / SetDriver(),
// FieldDefs(), Fields(). A query made on a connection of kind BDParadox,
// BDBDE or BDUnDefined has no dataset: every operation that needs one raises
// data::EDatabaseError.
#pragma once

#include "database/DBobj.h"
#include "platform/data/mem_table.h"
#include "platform/runtime/datetime.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// Raised when a computed code reservation cannot insert its row for a reason
// that no taken code explains, or when no 32-bit code follows the highest.
class EReservaCodigo : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The code after `highest`, a value read from column `campo` of table
// `tabla`. Raises EReservaCodigo naming both when no 32-bit code follows it.
std::int32_t siguienteCodigo(std::int32_t highest, const QString& tabla, const QString& campo);

class TVexQuery {
public:
    explicit TVexQuery(DBConn& Db);
    explicit TVexQuery(data::TSQLConnection& Db);
    explicit TVexQuery(data::TFDConnection& Db);
    explicit TVexQuery(data::TADOConnection& Db);
    ~TVexQuery();
    TVexQuery(const TVexQuery&) = delete;
    TVexQuery& operator=(const TVexQuery&) = delete;

    // While true, ExecSQL hands each statement to add_log before running it.
    bool log = false;

    // The statement's lines, the same list on every call; edit it in place.
    QStringList& SQL();
    // Replaces the statement when its text differs exactly (case and line
    // breaks count); then closes the dataset first. Parameters stay.
    void SetQuery(const QStringList& Value);
    bool Active() const;
    // true: substitutes the parameters into the lines, then opens (ADO:
    // Prepared first). false: empties the parameter list, then closes.
    void SetActive(bool Value);
    bool Eof() const;
    void Next();
    // Both close the dataset; the parameter list is not emptied.
    void Close();
    void Disconnect();
    // Runs the statement without a result, without substitution; logs it
    // first when `log` is set. The database's error passes unchanged.
    void ExecSQL();
    // The field of the current row; with engine name "DBF" looked up by the
    // first 10 characters. Throws data::EDatabaseError naming a missing field.
    data::TField& FieldByName(const QString& FieldName);
    // Name cut to 10 characters when the engine name is "DBF".
    QString FieldName(const QString& Name) const;
    data::TFields& Fields();
    data::TFieldDefs& FieldDefs();
    void GetFieldNames(QStringList& List);
    // Rows of the result. FireDAC: a count statement on a second query,
    // leaving this one untouched; the database's error passes unchanged.
    int RecordCount();
    QStringList& Parameters() { return FParams; }
    // The dataset of the kind; nullptr when the query has none.
    data::TDataSet* Dataset() const;
    const QString& Driver() const { return TDriver; }
    void SetDriver(const QString& Value) { TDriver = Value; }
    TDBAccess tipo() const { return Tipo; }
    DBConn* database() const { return Database; }

    // ---- SQL literal and dialect helpers
    // `s` in single quotes, each quote inside doubled; the flags change nothing.
    QString StrQuoted(const QString& s, bool ReplaceQuote = true, bool btrim = true) const;
    // The engine's date literal ("" for engines without one); always with "/"
    // and ":" whatever the locale.
    QString fecha_sql(rtl::TDateTime f) const;
    QString bool_sql(bool valor) const;
    QString DoubleDef() const;
    QString porcentaje() const;
    // "yyyymmdd" as a date, 0 when it is none; sets the process-wide short
    // date format to "dd/MM/yyyy" for the rest of the run.
    rtl::TDateTime strYYYYMMDDtodate(const QString& s) const;
    // Adds column `campo` to `tabla`: true when the alter statement ran; its
    // error is swallowed (false). Types other than ftString, ftInteger,
    // ftFloat, ftDateTime give false and leave the query as it was.
    bool verificar_campo(const QString& campo, const QString& tabla, data::TFieldType Tipo_dato,
                         std::int32_t largo, const QString& Condicion_where);
    // Copies the result (structure, from the first row, appending) into
    // `Tabla` and leaves it open.
    void copio_a_memTable(data::TFDMemTable& Tabla);

    // ---- Next-code reservation
    // Reserves a code in column `campo` of `Tabla`: ValorID 0 takes the code
    // after the highest, any other value deletes and inserts that code.
    // Throws EReservaCodigo after repeated failed inserts that no taken code
    // explains; other errors pass unchanged.
    std::int32_t ProximoCodigoNombre(const QString& Tabla, const QString& campo, std::int32_t ValorID);
    // The same, arguments in another order; on FireDAC the highest is read
    // once and the code counts upwards after a refused insert.
    std::int32_t ProximoCodigo(const QString& Tabla, std::int32_t ValorID, const QString& nombre_clave);

private:
    data::TCustomSQLQuery& dataset() const;  // throws without a dataset
    void Sustituyo_parametros();
    int GetQueryCount();
    // Reservation building blocks (dataset opened and run directly).
    void setStatement(const QStringList& lines);
    std::int32_t readMaximum(const QString& Tabla, const QString& campo);
    void runDirect();
    std::int32_t reserveGiven(const QString& Tabla, const QString& campo, std::int32_t ValorID);
    std::int32_t reserveRereading(const QString& Tabla, const QString& campo);
    std::int32_t reserveCounting(const QString& Tabla, const QString& campo, std::int32_t ValorID);

    std::unique_ptr<data::TADOQuery> consAdo;
    std::unique_ptr<data::TSQLQuery> ConsSql;
    std::unique_ptr<data::TFDQuery> ConsFDc;
    std::unique_ptr<data::TFDQuery> ConsFDcRecordCount;
    QStringList FParams;
    QString TDriver;
    TDBAccess Tipo = BDAdo;
    DBConn* Database = nullptr;
};

// How many inserts in a row a computed reservation may see fail without the
// highest code moving past the refused code before it gives up.
inline constexpr int kReservaIntentosSinExplicacion = 5;
