// Helpers shared by the .xls reader tests: fixture paths and file loading.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace xltest {

inline QString sharedWorkbook(const char* name) {
    return QStringLiteral(VEX_SHARED_WORKBOOKS "/") + QString::fromUtf8(name);
}

inline QString dataFile(const char* name) { return QStringLiteral(VEX_XLS_DATA "/") + QString::fromUtf8(name); }

// The whole file; fails the test when it cannot be read.
inline QByteArray load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return {};
    }
    return f.readAll();
}

}  // namespace xltest
