// FireDAC's connection and query components over ODBC.
//
// TFDConnection keeps its parameter lines, driver name and fetch options as
// set. DriverID "ODBC" opens the data source of "DataSource" with
// "User_Name" and "Password"; the driver "MSAcc" opens the Access file of
// "DataBase" through the MDBTools driver, read-only. Queries fetch
// FetchOptions.RowsetSize rows per round trip.
#pragma once

#include "platform/data/connection.h"
#include "platform/data/sql_query.h"

#include <initializer_list>

namespace data {

enum TFDFetchAll { afAll, afDisconnected, afTruncate };
enum TFDCursorKind { ckAutomatic, ckDefault, ckDynamic, ckStatic, ckForwardOnly };
enum TFDFetchMode { fmManual, fmOnDemand, fmAll, fmExactRecsMax };
enum TFDRecordCountMode { cmVisible, cmFetched, cmTotal };
enum TFDPhysObjectScope { osMy, osOther, osSystem };
enum TFDPhysTableKind { tkSynonym, tkTable, tkView, tkTempTable, tkLocalTable };

struct TFDFetchOptions {
    bool AutoClose = true;
    TFDFetchAll AutoFetchAll = afAll;
    TFDCursorKind CursorKind = ckAutomatic;
    bool DetailOptimize = true;
    TFDFetchMode Mode = fmOnDemand;
    TFDRecordCountMode RecordCountMode = cmVisible;
    int RowsetSize = 50;
    bool Unidirectional = false;
};

class TFDConnection : public TCustomConnection {
public:
    TFDConnection() = default;
    ~TFDConnection() override;

    QStringList Params;
    QString DriverName;
    TFDFetchOptions FetchOptions;

    // Params.DriverID: replaces the value of the "DriverID" line, or adds one.
    void SetParamsDriverID(const QString& id);
    // The value of the "DriverID" line; empty when none.
    QString ParamsDriverID() const;

    // FireDAC's GetTableNames: tables, views and, when asked, synonyms of the
    // database, without system tables. Catalog, schema, pattern, scopes and
    // full names are kept by the call's form only. Throws EDatabaseError when
    // not connected.
    void GetTableNames(const QString& catalog, const QString& schema, const QString& pattern,
                       QStringList& list, std::initializer_list<TFDPhysObjectScope> scopes,
                       std::initializer_list<TFDPhysTableKind> kinds, bool fullName);

    // Throws EDatabaseError for a driver other than ODBC and MSAcc, or a
    // missing "DataSource" / "DataBase" line.
    QString odbcConnectionString() const override;
    int rowsPerFetch() const override;
    bool readOnly() const override;
};

class TFDQuery : public TCustomSQLQuery {
public:
    TFDQuery() = default;
    ~TFDQuery() override;

    TFDConnection* Connection() const { return static_cast<TFDConnection*>(connectionBase()); }
    void SetConnection(TFDConnection* c);

    // Kept as set; the rows per fetch come from the connection's options.
    TFDFetchOptions FetchOptions;
    bool ObjectView = true;
    bool IndexesActive = true;

protected:
    int rowsPerFetch() const override;

};

}  // namespace data
