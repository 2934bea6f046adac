// dbExpress's connection and query components over ODBC.
//
// TSQLConnection keeps its parameter lines as set; with the driver "Odbc" the
// "DataBase" line names the ODBC data source, "User_Name" and "Password" the
// login, and "RowSetSize" the rows fetched per round trip.
#pragma once

#include "platform/data/connection.h"
#include "platform/data/sql_query.h"

namespace data {

class TSQLConnection : public TCustomConnection {
public:
    TSQLConnection() = default;
    ~TSQLConnection() override;

    QString DriverName;
    QString ConnectionName;
    QStringList Params;

    // Fills `list` with the tables and views; system tables are never listed.
    // Throws EDatabaseError when not connected.
    void GetTableNames(QStringList& list, bool SystemTables = false);

    // Throws EDatabaseError when the driver is not "Odbc" (any case) or there
    // is no "DataBase" line.
    QString odbcConnectionString() const override;
    // "RowSetSize" when it is a positive number, else 1.
    int rowsPerFetch() const override;
};

class TSQLQuery : public TCustomSQLQuery {
public:
    TSQLQuery() = default;
    ~TSQLQuery() override;

    TSQLConnection* SQLConnection() const { return static_cast<TSQLConnection*>(connectionBase()); }
    void SetSQLConnection(TSQLConnection* c);

    // dbExpress's ExecSQL(ExecDirect): both forms run the text as it is.
    long long ExecSQL(bool ExecDirect = false);

};

}  // namespace data
