// Per-user settings kept under the registry key "Software\Vexalon\" followed
// by the program key, in HKEY_CURRENT_USER.
//
// The program key is the running executable's file name without its
// extension, in its letter case; a program named DOSKAR (in any letter case)
// uses "TALVEN". Each call forms the key anew and keeps no state. With an
// empty program key (an executable named only ".exe") the writers do nothing,
// the text reader gives the empty text and the integer reader looks in
// "Software\Vexalon" itself.
#pragma once

#include <QString>

#include <cstdint>

// The program key of the running executable (proc::ExeName()).
QString programa();

// Store `value` as a string (text form) or DWORD (integer form) named `clave`,
// creating the settings key and its parents. Nothing happens, and nothing is
// reported, when the key cannot be opened or created (the settings file or
// its folder cannot be read or written, whether or not the key exists). Throws
// reg::ERegistryException when the write is refused (a hive file that cannot
// be parsed, or written once the key is open).
void set_key_value_CURRENT_USER(const QString& clave, const QString& value);
void set_key_value_CURRENT_USER(const QString& clave, std::int32_t value);

// `value` receives the stored DWORD, or 0 on every other road (key or value
// absent, another type, any failure). Never throws; never creates the key.
void get_key_value_CURRENT_USER(const QString& clave, std::int32_t& value);

// `value` receives the stored string or expandable string (unexpanded), or
// the empty text when the key or the value is absent or the hive file cannot
// be read. Throws reg::ERegistryException, naming the value, when it has
// another type, and when the hive file cannot be parsed. Never creates the key.
void get_key_value_CURRENT_USER(const QString& clave, QString& value);

// The data-access kind stored as "DBD" ("FDC", "ADO", "SQL" or "BDE", but any
// non-empty text is returned as stored). When it is empty or absent, "FDC" is
// stored and returned. Passes on the reader's and the writer's errors; when
// the reader throws, nothing is stored.
QString doy_acceso_a_datos();
