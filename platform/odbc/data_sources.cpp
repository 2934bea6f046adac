// Data-source lookups of odbc.h, through unixODBC's installer API.
#include "platform/odbc/odbc.h"

#include "platform/odbc/driver_probe.h"

#include <odbcinst.h>

namespace odbc {

namespace {

QString dataSourceDriver(unsigned short mode, const QString& dataSource) {
    if (dataSource.isEmpty()) return QString();
    const QString listed = profileString(mode, QStringLiteral("ODBC Data Sources"), dataSource, "odbc.ini");
    if (!listed.isEmpty()) return listed;
    return profileString(mode, dataSource, QStringLiteral("Driver"), "odbc.ini");
}

}  // namespace

QString userDataSourceDriver(const QString& dataSource) { return dataSourceDriver(ODBC_USER_DSN, dataSource); }

QString systemDataSourceDriver(const QString& dataSource) { return dataSourceDriver(ODBC_SYSTEM_DSN, dataSource); }

}  // namespace odbc
