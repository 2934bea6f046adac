// The format is told by content, never by extension, and every file that is
// no readable workbook gets a message naming it.
#include "platform/spreadsheet/workbook_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString shared(const char* name) { return QStringLiteral(VEX_SHARED_WORKBOOKS "/") + QString::fromUtf8(name); }
QString ours(const char* name) { return QStringLiteral(VEX_TEST_DATA "/") + QString::fromUtf8(name); }

QString refusal(const QString& path) {
    try {
        xl::readWorkbookFile(path);
    } catch (const xl::ReadError& e) {
        return e.message();
    }
    return {};
}

class WorkbookDetection : public ::testing::Test {
protected:
    QString write(const char* name, const QByteArray& bytes) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString copyOf(const QString& source, const char* name) {
        QFile f(source);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return write(name, f.readAll());
    }
    QTemporaryDir dir_;
};

TEST_F(WorkbookDetection, ContentDecidesNotTheExtension) {
    // An xlsx named .xls, and one with no extension, read as what they are.
    for (const char* name : {"guias.xls", "guias", "guias.csv"}) {
        SCOPED_TRACE(name);
        const auto wb = xl::readWorkbookFile(copyOf(ours("sheetjs-waybills.xlsx"), name));
        ASSERT_TRUE(wb.firstWorksheet.find(2, 5));
        EXPECT_EQ(wb.firstWorksheet.find(2, 5)->text, QStringLiteral("125-12345675"));
    }
}

TEST_F(WorkbookDetection, FilesThatAreNoWorkbook) {
    struct Case {
        const char* name;
        QString path;
        const char16_t* messagePart;
    } cases[] = {
        {"empty file", write("vacio.xlsx", QByteArray()), u"está vacío"},
        {"text renamed", write("texto.xlsx", "remitente;consignatario\nA;B\n"), u"no es un libro de Excel"},
        {"BIFF2 record stream (no compound document)", ours("sheetjs-biff2.xls"), u"no es un libro de Excel"},
        {"missing file", dir_.filePath(QStringLiteral("no-esta.xlsx")), u"no existe"},
        {"a folder", dir_.path(), u"carpeta"},
        {"xlsb", shared("excel-binary.xlsb"), u".xlsb"},
        {"ods", shared("libreoffice.ods"), u".ods"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusal(c.path);
        EXPECT_TRUE(message.contains(c.path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf16(c.messagePart))) << message.toStdString();
    }
}

TEST_F(WorkbookDetection, CompoundDocumentsGoToTheXlsReader) {
    // Whatever the .xls reader makes of them, it is a ReadError naming the file
    // (or, for readable BIFF8, cells): never a crash or a silent empty sheet.
    for (const QString& path : {shared("excel-encrypted-agile-aes256.xlsx"), shared("excel-biff5.xls"),
                                shared("excel-biff8-encrypted-rc4.xls"), copyOf(shared("excel-biff8-small.xls"), "x.xlsx")}) {
        SCOPED_TRACE(path.toStdString());
#ifdef VEX_HAVE_XLS_READER
        try {
            const auto wb = xl::readWorkbookFile(path);
            EXPECT_GT(wb.firstWorksheet.rowCount(), 0);
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
        }
#else
        const QString message = refusal(path);
        EXPECT_TRUE(message.contains(path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("97-2003"))) << message.toStdString();
#endif
    }
#ifdef VEX_HAVE_XLS_READER
    EXPECT_TRUE(refusal(shared("excel-encrypted-agile-aes256.xlsx")).contains(QStringLiteral("contraseña")));
    EXPECT_TRUE(refusal(shared("excel-biff8-encrypted-rc4.xls")).contains(QStringLiteral("contraseña")));
#endif
}

TEST_F(WorkbookDetection, ReadsFromMemoryTheSameWay) {
    QFile f(ours("sheetjs-str-cells.xlsx"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto wb = xl::readWorkbook(f.readAll(), QStringLiteral("memoria.xlsx"));
    EXPECT_EQ(wb.sheets.at(0).name, QStringLiteral("Mezcla"));
    try {
        xl::readWorkbook(QByteArray("\xD0\xCF\x11\xE0", 4), QStringLiteral("corto.xls"));
        ADD_FAILURE() << "four bytes of a signature read as a workbook";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("corto.xls")));
    }
}

}  // namespace
