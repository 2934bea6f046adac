// Reading one entry of an INI file, by default the program's own INI file in
// the directory named by the environment variable WINDIR.
#pragma once

#include <QString>

// The program's default INI file: WINDIR (empty when unset), "/" unless it
// already ends in a separator, then the executable's file name (no
// directory) with its extension changed to ".ini".
QString ini_del_programa();

// The value of key `clave` in section `grupo` of `ini_file`, or the empty
// text when the file, section or key is missing. An empty `ini_file` means
// ini_del_programa(); a non-empty one is used unchanged. Never throws.
QString get_ini(const QString& ini_file, const QString& grupo, const QString& clave);
