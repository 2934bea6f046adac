// Finding out, before and after connecting, whether an ODBC driver has W
// (UTF-16) entry points.
//
// unixODBC converts between W and A calls with the locale's character set
// for a driver that has none (the SQLite3 driver), which corrupts non-ASCII
// text under a non-UTF-8 locale; the core calls such drivers through the A
// functions with UTF-8 instead. Internal to platform/odbc.
#pragma once

#include <QString>

namespace odbc {

enum class DriverProbe { Wide, Narrow, Unknown };

// The driver a connection string will reach: its DRIVER key, or the Driver
// key of its DSN's section in the user list, then the system list, resolved
// through odbcinst.ini to a library path, and whether that library has W
// entry points (Unknown when the string names neither, or the library
// cannot be found or loaded). viaDataSource tells the library came from DSN.
struct ResolvedDriver {
    QString library;
    DriverProbe probe = DriverProbe::Unknown;
    bool viaDataSource = false;
};
ResolvedDriver resolveDriver(const QString& connectionString);

// Whether the already loaded driver library whose file name is
// driverFileName (SQL_DRIVER_NAME) lacks W entry points; false when no
// loaded library has that name.
bool driverLibraryIsNarrow(const QString& driverFileName);

// The value of key in section of an unixODBC ini list: mode is
// ODBC_USER_DSN, ODBC_SYSTEM_DSN or ODBC_BOTH_DSN, file "odbc.ini" or
// "odbcinst.ini". Empty when absent; `present`, when given, tells an absent
// key from one written with an empty value. Read through unixODBC's
// installer API; the config mode is restored to ODBC_BOTH_DSN afterwards.
QString profileString(unsigned short mode, const QString& section, const QString& key, const char* file,
                      bool* present = nullptr);

}  // namespace odbc
