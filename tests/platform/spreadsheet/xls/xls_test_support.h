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

// The workbooks the automation stand-in's tests share (tests/data).
inline QString testData(const char* name) { return QStringLiteral(VEX_TEST_DATA "/") + QString::fromUtf8(name); }

// The .xls reader's own edge cases (tests/data/xls).
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
