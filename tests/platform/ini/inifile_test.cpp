#include "platform/ini/inifile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& text) {
        const QString path = dir_.path() + QStringLiteral("/abc.ini");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(IniFileTest, ReadsValuesAsTheProfileFunctionsDo) {
    const ini::TIniFile ini(write(QByteArrayLiteral(
        "\xEF\xBB\xBF"
        "top=before any section\r\n"
        "; a comment\r\n"
        "[CONFIGURACION]\r\n"
        "HTMLDIR=C:\\html\\\r\n"
        "  Espacios  =   con blancos   \r\n"
        "Comillas=\"  entre comillas  \"\r\n"
        "Simples='x'\r\n"
        "Desparejas=\"x'\r\n"
        "PuntoComa=a;b ;c\r\n"
        "Igual=a=b\r\n"
        "Vacia=\r\n"
        "SinIgual\r\n"
        "HTMLDIR=segunda\r\n"
        "[ otra ]\n"
        "clave=valor de otra\n"
        "[Configuracion]\n"
        "Tarde=no se lee\n"
        "[Acentos]\n"
        "año=ñandú\n")));
    struct Case {
        const char* section;
        const char* key;
        QString expected;
    };
    const Case cases[] = {
        {"CONFIGURACION", "HTMLDIR", QStringLiteral("C:\\html\\")},
        {"configuracion", "htmldir", QStringLiteral("C:\\html\\")},
        {"CONFIGURACION", "Espacios", QStringLiteral("con blancos")},
        {"CONFIGURACION", "Comillas", QStringLiteral("  entre comillas  ")},
        {"CONFIGURACION", "Simples", QStringLiteral("x")},
        {"CONFIGURACION", "Desparejas", QStringLiteral("\"x'")},
        {"CONFIGURACION", "PuntoComa", QStringLiteral("a;b ;c")},
        {"CONFIGURACION", "Igual", QStringLiteral("a=b")},
        {"CONFIGURACION", "Vacia", QString()},
        {"CONFIGURACION", "SinIgual", QString()},
        {"CONFIGURACION", "Tarde", QStringLiteral("def")},  // only the first section counts
        {"Otra", "CLAVE", QStringLiteral("valor de otra")},
        {"Acentos", "año", QStringLiteral("ñandú")},
        {"", "top", QStringLiteral("def")},
        {"CONFIGURACION", "falta", QStringLiteral("def")},
        {"FALTA", "HTMLDIR", QStringLiteral("def")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QStringLiteral("def")),
                  c.expected);
    }
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("otra")));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("CONFIGURACION"), QStringLiteral("vacia")));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("CONFIGURACION"), QStringLiteral("falta")));
}

TEST_F(IniFileTest, WindowsEncodedFileIsReadAsWindows1252) {
    const ini::TIniFile ini(write(QByteArrayLiteral("[S]\nk=Montevid\xe9o \x80\n")));
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()),
              QStringLiteral("Montevidéo €"));
}

TEST_F(IniFileTest, MissingFileReadsAsDefault) {
    const ini::TIniFile missing(dir_.path() + QStringLiteral("/no-such.ini"));
    EXPECT_EQ(missing.ReadString(QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR"), QString()),
              QString());
    const ini::TIniFile directory(dir_.path());
    EXPECT_EQ(directory.ReadString(QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("d")),
              QStringLiteral("d"));
    const ini::TIniFile empty(write(QByteArray()));
    EXPECT_FALSE(empty.SectionExists(QStringLiteral("A")));
}

// Only a regular file of a sane size is read: a FIFO without a writer or a
// device in the file's place must not hang start-up or feed it forever.
TEST_F(IniFileTest, WhatIsNoRegularFileOrTooLargeReadsAsDefault) {
    const QString fifo = dir_.path() + QStringLiteral("/fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString def = QStringLiteral("d");
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(path.toStdString());
        const ini::TIniFile ini(path);
        EXPECT_EQ(ini.ReadString(QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR"), def), def);
    }

    // Up to the bound the file is read; one byte more and it is not.
    const QByteArray entry = QByteArrayLiteral("[CONFIGURACION]\nHTMLDIR=C:\\html\\\n");
    const auto padded = [&](qint64 size) {
        QByteArray text = entry;
        text.append(QByteArray(size - entry.size() - 1, ';'));
        text.append('\n');
        return text;
    };
    const ini::TIniFile atTheBound(write(padded(ini::kMaxFileBytes)));
    EXPECT_EQ(atTheBound.ReadString(QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR"), def),
              QStringLiteral("C:\\html\\"));
    const ini::TIniFile pastTheBound(write(padded(ini::kMaxFileBytes + 1)));
    EXPECT_EQ(pastTheBound.ReadString(QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR"), def), def);
}

}  // namespace
