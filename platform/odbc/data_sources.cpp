// Data-source lookups of odbc.h, through unixODBC's installer API.
#include "platform/odbc/odbc.h"

#include "platform/odbc/driver_probe.h"

#include <odbcinst.h>

namespace odbc {

namespace {

QString dataSourceDriver(unsigned short mode, const QString& dataSource) {
    if (dataSource.isEmpty()) return QString();
    bool listed = false;
    const QString entry =
        profileString(mode, QStringLiteral("ODBC Data Sources"), dataSource, "odbc.ini", &listed);
    // An entry written empty is the list's answer (empty): the caller then
    // asks the next list, as for a data source this list lacks.
    if (listed) return entry;
    return profileString(mode, dataSource, QStringLiteral("Driver"), "odbc.ini");
}

}  // namespace

QString userDataSourceDriver(const QString& dataSource) { return dataSourceDriver(ODBC_USER_DSN, dataSource); }

QString systemDataSourceDriver(const QString& dataSource) { return dataSourceDriver(ODBC_SYSTEM_DSN, dataSource); }

}  // namespace odbc
