#include "database/DBobj.h"

#include "platform/odbc/odbc.h"
#include "platform/process/process_info.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/strings.h"

std::unique_ptr<DBConn> dbTalven;
TDBParameters DBParameters;
data::TFDGUIxWaitCursor FDBWaitCursor;
QStringList LogsQuerys;

DBConn::DBConn() = default;

DBConn::~DBConn() {
    // Queries may outlive the connection; closing each component first lets
    // them drop their cursors before the handles go.
    if (SDB) SDB->SetConnected(false);
    if (FDB) FDB->SetConnected(false);
    if (ADB) ADB->SetConnected(false);
}

QString engineForDriver(const QString& driverName) {
    const QString driver = rtl::UpperCase(driverName);
    QString engine;
    // Each test stands on its own: a later match replaces an earlier one.
    if (driver.contains(u"ACCESS")) engine = QStringLiteral("ACCESS");
    if (driver.contains(u"INTERBASE")) engine = QStringLiteral("INTERBASE");
    if (driver.contains(u"ADAPTIVE")) engine = QStringLiteral("SYBASE");
    if (driver.contains(u"IB7")) engine = QStringLiteral("INTERBASE");
    if (driver.contains(u"SQL SERVER")) engine = QStringLiteral("SQLSERVER");
    if (driver.contains(u"ORACLE")) engine = QStringLiteral("ORACLE");
    if (driver.contains(u"MYSQL")) engine = QStringLiteral("MYSQL");
    if (driver.contains(u"DBASE")) engine = QStringLiteral("DBF");
    return engine;
}

QString DBConn::Driver_ODBC(const QString& dataSource) const {
    const QString name = rtl::UpperCase(dataSource);
    const int arch = proc::NativeProcessorArchitecture();
    const bool is64 = arch == 9 || arch == 6;
    QString driver = odbc::userDataSourceDriver(name);
    if (driver.isEmpty()) {
        // The machine-wide list; on a 64-bit machine the 32-bit view, which
        // here is the same system list.
        driver = is64 ? odbc::systemDataSourceDriver(name) : odbc::systemDataSourceDriver(name);
    }
    if (driver.isEmpty()) return {};
    return engineForDriver(driver);
}

bool DBConn::SO64Bits() { return proc::IsWow64Process(); }

bool DBConn::Connect(const TDBParameters& Parameters, const QString& dbName) {
    const TDBParameters p = Parameters;
    bool result = true;
    tipo = p.Tipo;
    TipoMotor = Driver_ODBC(p.Alias);
    if (p.Tipo == BDParadox) TipoMotor = QStringLiteral("PARADOX");
    Alias = p.Alias;
    Usuario = p.Username;
    Password = p.Password;
    UniDirectional = p.UniDirectional;

    data::TCustomConnection* component = nullptr;
    switch (p.Tipo) {
    case BDSqlConn: {
        if (!SDB) SDB = std::make_unique<data::TSQLConnection>();
        data::TSQLConnection& c = *SDB;
        c.Params.clear();
        c.DriverName = QStringLiteral("Odbc");
        c.LoginPrompt = false;
        c.ConnectionName = QStringLiteral("OdbcConnection");
        c.Params.clear();
        c.Params << QStringLiteral("DriverName=Odbc") << QStringLiteral("User_Name=") + p.Username
                 << QStringLiteral("Password=") + p.Password << QStringLiteral("DataBase=") + p.Alias
                 << QStringLiteral("IsolationLevel=ReadCommitted") << QStringLiteral("RowSetSize=20");
        component = &c;
        break;
    }
    case BDAdo: {
        if (!ADB) ADB = std::make_unique<data::TADOConnection>();
        data::TADOConnection& c = *ADB;
        // Values are quoted by OLE DB's rules, so a name or password holding
        // ";" or quotes cannot add or change keys of the string.
        QString cs;
        if (!p.Alias.isEmpty())
            cs = QStringLiteral("Provider=MSDASQL.1;Password=") + data::quoteOleDbValue(p.Password) +
                 QStringLiteral(";Persist Security Info=True;User ID=") + data::quoteOleDbValue(p.Username) +
                 QStringLiteral(";Data Source=") + data::quoteOleDbValue(p.Alias);
        if (!p.Path.isEmpty())
            cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + data::quoteOleDbValue(p.Path) +
                 QStringLiteral(";Persist Security Info=False");
        c.ConnectionString = cs;
        c.LoginPrompt = false;
        c.IsolationLevel = data::ilReadUncommitted;
        c.Mode = data::cmUnknown;
        c.KeepConnection = true;
        component = &c;
        break;
    }
    case BDFireDac: {
        if (!FDB) FDB = std::make_unique<data::TFDConnection>();
        data::TFDConnection& c = *FDB;
        c.LoginPrompt = false;
        c.Params.clear();
        c.Params << QStringLiteral("User_Name=") + p.Username << QStringLiteral("Password=") + p.Password;
        if (!p.Path.isEmpty()) {
            c.Params << QStringLiteral("DataBase=") + p.Path << QStringLiteral("ConnectionDef=Access_Demo");
            c.DriverName = QStringLiteral("MSAcc");
        } else {
            c.Params << QStringLiteral("DataSource=") + p.Alias << QStringLiteral("DriverID=ODBC");
            c.DriverName = QStringLiteral("ODBC");
            c.SetParamsDriverID(QStringLiteral("ODBC"));
        }
        data::TFDFetchOptions& f = c.FetchOptions;
        f.AutoClose = true;
        f.AutoFetchAll = data::afAll;
        f.CursorKind = data::ckAutomatic;
        f.DetailOptimize = true;
        f.Mode = data::fmOnDemand;
        f.RecordCountMode = data::cmVisible;
        f.RowsetSize = 50;
        f.Unidirectional = false;
        component = &c;
        break;
    }
    case BDParadox:
    case BDBDE:
    case BDUnDefined:
        return result;
    }
    if (!component) return result;
    // Naming is not guarded: a refused name ends Connect with its error.
    component->SetName(!dbName.isEmpty() ? dbName : QStringLiteral("_") + Alias);
    try {
        component->SetConnected(true);
    } catch (...) {
        result = false;
    }
    return result;
}

namespace {
data::TCustomConnection* currentComponent(TDBAccess tipo, data::TSQLConnection* s, data::TFDConnection* f,
                                          data::TADOConnection* a) {
    switch (tipo) {
    case BDSqlConn:
        return s;
    case BDFireDac:
        return f;
    case BDAdo:
        return a;
    default:
        return nullptr;
    }
}
}  // namespace

void DBConn::GetTableNames(QStringList& l) {
    switch (tipo) {
    case BDFireDac:
        if (FDB)
            FDB->GetTableNames({}, {}, {}, l, {data::osMy}, {data::tkSynonym, data::tkTable, data::tkView}, true);
        return;
    case BDAdo:
        if (ADB) ADB->GetTableNames(l, false);
        return;
    case BDSqlConn:
        if (SDB) SDB->GetTableNames(l, false);
        return;
    default:
        return;
    }
}

void DBConn::DeConnect() {
    if (auto* c = currentComponent(tipo, SDB.get(), FDB.get(), ADB.get())) c->SetConnected(false);
}

bool DBConn::IsConnected() const {
    const auto* c = currentComponent(tipo, SDB.get(), FDB.get(), ADB.get());
    return c && c->Connected();
}

void DBConn::BeginTransaction() {
    if (tipo == BDAdo && ADB) ADB->BeginTrans();
}

void DBConn::EndTransaction() {
    if (tipo == BDAdo && ADB) ADB->CommitTrans();
}

void add_log(const QStringList& sql) {
    while (LogsQuerys.size() > 500) LogsQuerys.removeFirst();
    LogsQuerys.append(rtl::FormatDateTime(QStringLiteral("dd/MM/yyyy\" - \"hh:nn:ss"), rtl::Now()));
    QString text;
    for (const QString& line : sql) text += line + QStringLiteral("\r\n");
    LogsQuerys.append(text);
}
