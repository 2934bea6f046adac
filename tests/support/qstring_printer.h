// Lets GoogleTest print QString (and so QStringList) as readable UTF-8 in
// failure messages instead of byte dumps. Include it in any test file.
#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{ " << l.join(QStringLiteral(", ")).toStdString() << " }";
}
