#include "platform/spreadsheet/xls/xls_reader.h"

#include "xls_test_support.h"
#include "tests/platform/spreadsheet/cell_kind_name.h"

#include <QtEndian>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <vector>

namespace {

using xl::CellKind;
using xltest::kindName;
using xltest::dataFile;
using xltest::load;
using xltest::sharedWorkbook;
using xltest::testData;

struct ExpectedCell {
    int row;
    int column;
    CellKind kind;
    double number;     // Number, Boolean, DateTime
    const char* text;  // Text, Error (UTF-8)
};

struct ExpectedSheet {
    const char* name;
    bool isWorksheet;
};

struct WorkbookCase {
    const char* label;
    QString path;
    std::vector<ExpectedSheet> sheets;
    std::vector<ExpectedCell> cells;
    int rowCount;
};

void expectWorkbook(const WorkbookCase& c) {
    SCOPED_TRACE(c.label);
    const xl::WorkbookData book = xl::readCompoundDocument(load(c.path), c.path);
    ASSERT_EQ(book.sheets.size(), c.sheets.size());
    for (std::size_t i = 0; i < c.sheets.size(); ++i) {
        EXPECT_EQ(book.sheets[i].name, QString::fromUtf8(c.sheets[i].name)) << "tab " << i;
        EXPECT_EQ(book.sheets[i].isWorksheet, c.sheets[i].isWorksheet) << "tab " << i;
    }
    for (const ExpectedCell& e : c.cells) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << ", column " << e.column);
        const std::optional<xl::Cell> cell = book.firstWorksheet.find(e.row, e.column);
        if (e.kind == CellKind::Empty) {
            EXPECT_TRUE(!cell || cell->kind == CellKind::Empty);
            continue;
        }
        ASSERT_TRUE(cell);
        EXPECT_STREQ(kindName(cell->kind), kindName(e.kind));
        if (e.kind == CellKind::Text || e.kind == CellKind::Error) EXPECT_EQ(cell->text, QString::fromUtf8(e.text));
        else EXPECT_DOUBLE_EQ(cell->number, e.number);
    }
    EXPECT_EQ(book.firstWorksheet.rowCount(), c.rowCount);
}

constexpr CellKind N = CellKind::Number, T = CellKind::Text, B = CellKind::Boolean, D = CellKind::DateTime,
                   E = CellKind::Error, X = CellKind::Empty;

// The third-party workbooks, cell by cell as their README lists them; formula
// cells by their cached results, booleans as booleans, dates as dates.
TEST(XlsReader, ReadsTheThirdPartyWorkbooks) {
    const std::vector<WorkbookCase> cases = {
        {"excel-biff8-small", sharedWorkbook("excel-biff8-small.xls"), {{"Sheet1", true}},
         {{1, 1, T, 0, "col1"}, {1, 2, X, 0, ""}, {1, 3, T, 0, "col3"}, {2, 1, T, 0, "10x10"},
          {2, 10, T, 0, "10x19"}, {3, 2, T, 0, "10x12"}, {10, 10, T, 0, "10x27"}},
         10},
        {"excel-biff8-medium", sharedWorkbook("excel-biff8-medium.xls"),
         {{"Hoja1", true}, {"Hoja2", true}, {"Hoja3", true}},
         {{1, 1, T, 0, "cod_articulo"}, {1, 17, T, 0, "costo_proveedor"}, {2, 1, T, 0, "000099"},
          {2, 3, T, 0, "Lechuga Blanca"}, {2, 4, N, 1, ""}, {2, 7, N, 2566.3716814159293, ""},
          {2, 5, T, 0, "IV"},       // a formula with a cached text
          {2, 6, N, 1.13, ""},      // a formula with a cached number
          {349, 1, T, 0, "7401002802181"}, {349, 3, T, 0, "ENJUAGUE LISTERINE ORIGINAL 500ML"}},
         349},
        {"excel-biff8-non-ascii-n-tilde", sharedWorkbook("excel-biff8-non-ascii-n-tilde.xls"),
         {{"åäöñ", true}}, {{1, 1, T, 0, "åäöñ"}}, 1},
        {"excel-biff8-dates-formulas", sharedWorkbook("excel-biff8-dates-formulas.xls"),
         {{"Sheet1", true}, {"Sheet2", true}, {"Sheet3", true}},
         {{1, 1, T, 0, "Name"}, {2, 1, T, 0, "John test"}, {2, 2, D, 39934, ""}, {2, 3, N, 1881.99, ""},
          {2, 4, N, 329.34825000000001, ""}, {3, 2, D, 36192, ""}, {3, 3, N, 1.2313000000000001, ""},
          {3, 5, D, 0.45833333333333331, ""}, {4, 6, D, 0.45905092592592589, ""},
          {6, 1, T, 0, "Изображение дня"}, {6, 2, D, 40430, ""}, {8, 1, T, 0, "librement réutilisable"}},
         9},
        {"excel-biff8-boolean", sharedWorkbook("excel-biff8-boolean.xls"), {{"Precision", true}},
         {{1, 1, T, 0, "To test various items related to issue 8536"}, {3, 2, B, 1, ""}, {4, 2, N, 12345, ""},
          {5, 2, D, 41244, ""}, {6, 2, N, 41244, ""}, {7, 2, T, 0, "&#x26; "},
          {8, 2, D, 2, ""}},  // serial 1: 1 January 1900, day 2 from 30 December 1899
         8},
        {"libreoffice-biff8-dates", sharedWorkbook("libreoffice-biff8-dates.xls"), {{"Sheet1", true}},
         {{1, 1, D, 44197, ""}, {1, 2, N, 15, ""}, {2, 1, D, 44198, ""},
          {3, 1, D, 10.632060185185185, ""},  // 255:10:10, the 10 whole days kept
          {3, 2, N, 17, ""}},
         3},
    };
    for (const auto& c : cases) expectWorkbook(c);
}

const std::vector<ExpectedCell> kSheetJsMixed = {
    {2, 1, T, 0, "Señor Pérez"}, {2, 2, N, 12.5, ""}, {2, 3, T, 0, "00123"}, {2, 4, X, 0, ""},
    {2, 5, T, 0, "ñandú"}, {3, 1, T, 0, "O'Brien's cargo"}, {3, 2, N, -0.25, ""}, {3, 3, T, 0, "12,5"},
    {4, 1, T, 0, "  blancos  "}, {4, 2, N, 1234567890123, ""}, {4, 5, B, 1, ""}, {5, 1, B, 0, ""},
    {5, 3, T, 0, " 7.5 "}, {5, 5, D, 45366, ""}, {6, 5, D, 45366.4375, ""}};

// Files written by SheetJS and by our own fixture script, for what the
// third-party files do not show.
TEST(XlsReader, ReadsIndependentlyWrittenAndHandMadeWorkbooks) {
    const std::vector<WorkbookCase> cases = {
        {"sheetjs-waybills", dataFile("sheetjs-waybills.xls"), {{"Guías", true}, {"Resumen", true}},
         {{1, 8, T, 0, "Descripción"}, {2, 1, T, 0, "Exportadora Ñandú"}, {2, 2, T, 0, "señor pérez"},
          {2, 3, X, 0, ""}, {2, 4, T, 0, "O'Higgins SA"}, {2, 5, T, 0, "0045"}, {2, 9, N, 12.5, ""},
          {2, 10, N, 0.75, ""}, {2, 11, N, 3, ""}, {2, 12, T, 0, "JPNRT"}, {2, 13, D, 44198, ""},
          {2, 14, B, 1, ""}, {3, 4, X, 0, ""}, {3, 9, N, 1000, ""}},
         3},
        // The same mixed values with SheetJS's inline labels and with its shared strings.
        {"sheetjs-biff8-mixed", testData("sheetjs-biff8-mixed.xls"), {{"Mezcla", true}, {"Otra", true}},
         kSheetJsMixed, 6},
        {"sheetjs-biff8-shared-strings", testData("sheetjs-biff8-shared-strings.xls"),
         {{"Mezcla", true}, {"Otra", true}}, kSheetJsMixed, 6},
        {"sheetjs-biff8-waybills", testData("sheetjs-biff8-waybills.xls"), {{"Guias", true}},
         {{2, 2, T, 0, "señor pérez"}, {2, 3, T, 0, "ignorado"}, {2, 9, N, 12.5, ""}, {2, 12, T, 0, "JPNRT"},
          {3, 2, T, 0, "Cargas D'Alessandro"}, {3, 3, N, 99, ""}, {3, 4, T, 0, ""}, {3, 10, X, 0, ""},
          {4, 1, T, 0, "Ñandutí S.A."}, {4, 9, T, 0, "30"}, {4, 12, T, 0, "DEFRAX"}, {5, 5, X, 0, ""},
          {6, 5, T, 0, "125-99999999"}},
         6},
        {"sheetjs-many-rows", dataFile("sheetjs-many-rows.xls"), {{"Datos", true}},
         {{1, 1, T, 0, "n"}, {2, 1, N, 1.25, ""}, {601, 1, N, 750, ""}, {601, 2, T, 0, "fila 600"}},
         601},
        // Tabs: a chart and a dialog sheet come before the first worksheet.
        {"mini-stream-small-waybill", dataFile("mini-stream-small-waybill.xls"),
         {{"Gráfico", false}, {"Diálogo", false}, {"Guías", true}, {"Otra", true}},
         {{1, 1, T, 0, "Remitente"},
          {2, 1, T, 0, "señor pérez"},    // LABELSST
          {2, 2, T, 0, "O'Brien & Cía"},  // LABEL
          {2, 3, N, 42, ""},              // RK integer
          {2, 4, N, 12.5, ""},            // RK integer divided by 100
          {2, 5, N, 1234.5678, ""},       // NUMBER
          {2, 6, N, 25.75, ""},           // FORMULA, number
          {2, 7, T, 0, "JPNRT"},          // FORMULA, text in the STRING record
          {2, 8, B, 1, ""},               // FORMULA, boolean
          {2, 9, E, 0, "#DIV/0!"},        // FORMULA, error
          {2, 10, T, 0, ""},              // FORMULA, empty text
          {2, 11, B, 0, ""},              // BOOLERR false
          {2, 12, E, 0, "#N/A"},          // BOOLERR error
          {3, 1, N, 7, ""},               // MULRK under General
          {3, 2, D, 44197, ""},           // ... under built-in date format 14
          {3, 3, D, 44198, ""},           // ... under custom format dd/mm/yyyy
          {3, 4, D, 10.632060185185185, ""},  // [h]:mm:ss keeps its whole days
          {3, 5, X, 0, ""}, {3, 6, X, 0, ""}, {3, 8, X, 0, ""},  // BLANK, MULBLANK
          {3, 9, D, 40430, ""},           // FORMULA, number under a date format
          {3, 10, N, 1.5, ""},            // RK float
          {1, 2, X, 0, ""},               // the embedded chart's NUMBER is not a cell
          {6, 1, T, 0, "después"}},
         6},
        // The last cell a BIFF8 sheet can hold.
        {"cell-in-iv65536", dataFile("cell-in-iv65536.xls"), {{"Hoja1", true}}, {{65536, 256, N, 1, ""}}, 65536},
        {"date-system-1904", dataFile("date-system-1904.xls"), {{"Hoja1", true}},
         {{1, 1, D, 1462, ""}, {2, 1, D, 2462, ""}, {1, 2, N, 1000, ""}}, 2},
        {"sst-continue-encoding-switch", dataFile("sst-continue-encoding-switch.xls"), {{"Hoja1", true}},
         {{1, 1, T, 0, "ab"}, {2, 1, T, 0, "Conocimiento aéreo Москва"}, {3, 1, T, 0, "Ñandú €ABC"},
          {4, 1, T, 0, "rico"}, {5, 1, T, 0, "Ω final"}, {6, 1, T, 0, "relleno 399"},
          {7, 1, T, 0, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxñandú ☺"}},
         7},
        // Tab and line breaks stay, a surrogate pair is one character, and a
        // shared string with a NUL is kept like any other.
        {"text-unused-bad-shared-string", dataFile("text-unused-bad-shared-string.xls"), {{"Hoja1", true}},
         {{1, 1, T, 0, "Guía"}, {2, 1, T, 0, "a\tb\r\nc"}, {3, 1, T, 0, "\U0001F600"}}, 3},
        // Bottom-up rows, cell C first in each, A4 set twice.
        {"cells-descending-rows", dataFile("cells-descending-rows.xls"), {{"Hoja1", true}},
         {{1, 1, N, 0, ""}, {1, 3, N, 2, ""}, {4, 1, N, 99, ""}, {4, 2, N, 31, ""}, {5, 3, N, 42, ""},
          {5, 4, X, 0, ""}, {6, 1, X, 0, ""}},
         5},
    };
    for (const auto& c : cases) expectWorkbook(c);
}

// Texts come as the workbook holds them, from a label, a shared string or a
// formula's text, whatever characters they carry: whether the program can
// take one is judged only where a cell is read.
TEST(XlsReader, KeepsTextsAsTheWorkbookHoldsThem) {
    const struct {
        const char* file;
        int row, col;
        std::u16string text;
    } cases[] = {
        {"text-nul-in-label.xls", 2, 2, std::u16string(u"125-\0", 5)},
        {"text-lone-surrogate-shared.xls", 3, 3, u"x\xD800"},
        {"text-control-in-formula-string.xls", 4, 4, u"a\x01" u"b"},
        {"text-unused-bad-shared-string.xls", 1, 1, u"Guía"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const xl::WorkbookData wb = xl::readCompoundDocument(load(dataFile(c.file)), QStringLiteral("guias.xls"));
        const auto cell = wb.firstWorksheet.find(c.row, c.col);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->kind, xl::CellKind::Text);
        EXPECT_EQ(cell->text, QString::fromStdU16String(c.text));
        EXPECT_FALSE(cell->tooLong);
    }
    // A shared string longer than a cell holds, across CONTINUE records, is
    // only marked; the cells around it read.
    const xl::WorkbookData longer =
        xl::readCompoundDocument(load(dataFile("waybills-text-longer-than-a-cell.xls")), QStringLiteral("guias.xls"));
    ASSERT_TRUE(longer.firstWorksheet.find(3, 2));
    EXPECT_TRUE(longer.firstWorksheet.find(3, 2)->tooLong);
    EXPECT_EQ(longer.firstWorksheet.find(3, 1)->text, QStringLiteral("rem dos"));
    EXPECT_EQ(longer.firstWorksheet.find(3, 4)->text, QStringLiteral("notificar b"));
    // The unused shared string is in the pool as written.
    const xl::WorkbookData wb =
        xl::readCompoundDocument(load(dataFile("text-unused-bad-shared-string.xls")), QStringLiteral("guias.xls"));
    EXPECT_EQ(wb.firstWorksheet.text(1), QString::fromStdU16String(std::u16string(u"125\0", 4)));
}

struct FailureCase {
    const char* label;
    QString path;
    const char* fragment;  // must appear in the message
};

// Every refusal names the file and says what is wrong with it.
TEST(XlsReader, RefusesWhatItCannotReadWithItsReason) {
    const char* old = "formato demasiado antiguo";
    const char* password = "protegido con contraseña";
    const char* damaged = "dañado o incompleto";
    const char* other = "no es un libro de Excel";
    const std::vector<FailureCase> cases = {
        {"BIFF5 Book stream", sharedWorkbook("excel-biff5.xls"), old},
        {"BIFF5 written by SheetJS", testData("sheetjs-biff5.xls"), old},
        {"BIFF5 BOF in a Workbook stream", dataFile("biff5-bof-in-workbook-stream.xls"), old},
        {"RC4-encrypted xls", sharedWorkbook("excel-biff8-encrypted-rc4.xls"), password},
        {"encrypted xlsx package", sharedWorkbook("excel-encrypted-agile-aes256.xlsx"), password},
        {"Word document", dataFile("word-document.doc"), other},
        {"looping FAT chain", dataFile("looping-fat-chain.xls"), "forma un ciclo"},
        {"looping mini-stream chain", dataFile("looping-mini-chain.xls"), "forma un ciclo"},
        {"directory that cycles", dataFile("directory-cycle.xls"), "directorio forma un ciclo"},
        {"FAT chain out of the file", dataFile("fat-chain-points-outside.xls"), "apunta fuera del archivo"},
        {"absurd stream size", dataFile("absurd-stream-size.xls"), "tamaño mayor que el archivo"},
        {"shared string index out of range", dataFile("sst-index-out-of-range.xls"), "texto compartido"},
        {"tabs that all point at one sheet", dataFile("tabs-overlapping-one-sheet.xls"), "se solapan"},
        {"cell beyond column IV", dataFile("cell-beyond-column-iv.xls"), "columna IV"},
        {"NaN stored as a number", dataFile("number-not-finite.xls"), "número no válido"},
        {"record cut short", dataFile("workbook-stream-cut-in-a-record.xls"), damaged},
        {"two Workbook streams", dataFile("two-workbook-streams.xls"), "dos entradas con el nombre «Workbook»"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            xl::readCompoundDocument(load(c.path), QStringLiteral("guias.xls"));
            ADD_FAILURE() << "read without error";
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("\"guias.xls\""))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
        }
    }
}

TEST(XlsReader, TellsToSaveOldWorkbooksAsXlsx) {
    try {
        xl::readCompoundDocument(load(sharedWorkbook("excel-biff5.xls")), QStringLiteral("viejo.xls"));
        FAIL() << "read without error";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral(".xlsx"))) << e.message().toStdString();
    }
}

// Bytes that are not a compound document at all, or too short to be one.
TEST(XlsReader, RefusesBytesThatAreNotACompoundDocument) {
    const QByteArray signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const struct {
        const char* label;
        QByteArray bytes;
        const char* fragment;
    } cases[] = {
        {"empty", QByteArray(), "no es un libro de Excel"},
        {"text", QByteArray("Remitente;Consignatario\n"), "no es un libro de Excel"},
        {"signature only", signature, "dañado o incompleto"},
        {"signature and zeros", signature + QByteArray(600, '\0'), "dañado o incompleto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            xl::readCompoundDocument(c.bytes, QStringLiteral("x.xls"));
            ADD_FAILURE() << "read without error";
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
        }
    }
}

bool sameBook(const xl::WorkbookData& a, const xl::WorkbookData& b) {
    if (a.sheets.size() != b.sheets.size() || a.firstWorksheet.rowCount() != b.firstWorksheet.rowCount())
        return false;
    for (std::size_t i = 0; i < a.sheets.size(); ++i)
        if (a.sheets[i].name != b.sheets[i].name || a.sheets[i].isWorksheet != b.sheets[i].isWorksheet) return false;
    for (int r = 1; r <= a.firstWorksheet.rowCount(); ++r)
        for (int c = 1; c <= 256; ++c) {
            const std::optional<xl::Cell> x = a.firstWorksheet.find(r, c);
            const std::optional<xl::Cell> y = b.firstWorksheet.find(r, c);
            if (x.has_value() != y.has_value()) return false;
            if (x && (x->kind != y->kind || x->number != y->number || x->text != y->text)) return false;
        }
    return true;
}

// A file cut anywhere either reads exactly as the whole file (the cut only
// dropped unused sectors) or is refused as damaged: never a crash, never
// different cells.
TEST(XlsReader, TruncatedFilesAreRefusedOrReadWhole) {
    const QString files[] = {
        sharedWorkbook("excel-biff8-small.xls"), sharedWorkbook("excel-biff8-medium.xls"),
        sharedWorkbook("libreoffice-biff8-dates.xls"), dataFile("mini-stream-small-waybill.xls"),
        dataFile("sst-continue-encoding-switch.xls"), dataFile("sheetjs-waybills.xls"),
        dataFile("fragmented-workbook-stream.xls"), dataFile("fragmented-mini-stream.xls"),
    };
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray whole = load(path);
        const xl::WorkbookData full = xl::readCompoundDocument(whole, path);
        int refused = 0;
        for (qsizetype cut = 0; cut < whole.size(); cut += (cut < 1024 ? 61 : 509)) {
            try {
                const xl::WorkbookData part = xl::readCompoundDocument(whole.left(cut), path);
                EXPECT_TRUE(sameBook(part, full)) << "cut at " << cut;
            } catch (const xl::ReadError& e) {
                ++refused;
                EXPECT_TRUE(e.message().contains(QStringLiteral("dañado")) ||
                            e.message().contains(QStringLiteral("no es un libro")))
                    << "cut at " << cut << ": " << e.message().toStdString();
            }
        }
        EXPECT_GT(refused, 0);
        // Half of a file always loses data the reading needs.
        EXPECT_THROW(xl::readCompoundDocument(whole.left(whole.size() / 2), path), xl::ReadError);
    }
}

// `path` reads as the fixture `twin` does, from memory and from the file.
void expectReadsAs(const QString& path, const char* twin) {
    const xl::WorkbookData expected = xl::readCompoundDocument(load(dataFile(twin)), path);
    EXPECT_TRUE(sameBook(xl::readCompoundDocument(load(path), path), expected));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(sameBook(xl::readCompoundDocumentFile(file, path), expected));
}

// Streams whose sectors lie last first read as their twins in order do,
// from memory and from the file (where the stream is gathered sector by
// sector); a file cut short is damage either way.
TEST(XlsReader, ReadsStreamsWhoseSectorsAreOutOfOrder) {
    const struct {
        const char* fragmented;
        const char* ordered;
    } cases[] = {
        {"fragmented-workbook-stream.xls", "sst-continue-encoding-switch.xls"},
        {"fragmented-mini-stream.xls", "mini-stream-small-waybill.xls"},
    };
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragmented);
        const QString path = dataFile(c.fragmented);
        expectReadsAs(path, c.ordered);

        const QString cutPath = dir.filePath(QString::fromUtf8(c.fragmented));
        QFile cut(cutPath);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        const QByteArray whole = load(path);
        cut.write(whole.left(whole.size() - 600));
        cut.close();
        ASSERT_TRUE(cut.open(QIODevice::ReadOnly));
        try {
            xl::readCompoundDocumentFile(cut, cutPath);
            ADD_FAILURE() << "a cut file was read";
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("dañado"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(cutPath)) << e.message().toStdString();
        }
    }
}

// Damage that is easier to make by patching a sound file than to commit.
TEST(XlsReader, RefusesPatchedContainers) {
    const QByteArray sound = load(dataFile("mini-stream-small-waybill.xls"));
    auto patched = [&](auto&& patch) {
        QByteArray b = sound;
        patch(b);
        return b;
    };
    auto put32 = [](QByteArray& b, qsizetype at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); };
    const struct {
        const char* label;
        QByteArray bytes;
        const char* fragment;
    } cases[] = {
        // The header fields the format fixes: any other value would make
        // this reader see another workbook in the same bytes than others do.
        {"sector size 2^20", patched([&](QByteArray& b) { b[0x1E] = 20; }), "tamaño de sector"},
        {"version 3 with 4096-byte sectors", patched([&](QByteArray& b) { b[0x1E] = 12; }), "tamaño de sector"},
        {"version 4 with 512-byte sectors", patched([&](QByteArray& b) { b[0x1A] = 4; }), "tamaño de sector"},
        {"version 5", patched([&](QByteArray& b) { b[0x1A] = 5; }), "versión"},
        {"version 2", patched([&](QByteArray& b) { b[0x1A] = 2; }), "versión"},
        {"mini sector size 128", patched([&](QByteArray& b) { b[0x20] = 7; }), "sector pequeño"},
        {"mini-stream cutoff 0", patched([&](QByteArray& b) { put32(b, 0x38, 0); }), "límite de flujo pequeño"},
        {"mini-stream cutoff 1", patched([&](QByteArray& b) { put32(b, 0x38, 1); }), "límite de flujo pequeño"},
        {"mini-stream cutoff 4095", patched([&](QByteArray& b) { put32(b, 0x38, 4095); }), "límite de flujo pequeño"},
        {"mini-stream cutoff 4097", patched([&](QByteArray& b) { put32(b, 0x38, 4097); }), "límite de flujo pequeño"},
        {"mini-stream cutoff 2^31", patched([&](QByteArray& b) { put32(b, 0x38, 0x80000000u); }),
         "límite de flujo pequeño"},
        {"more FAT sectors than the file has", patched([&](QByteArray& b) { put32(b, 0x2C, 1000); }),
         "sectores de asignación"},
        // Over 109 FAT sectors send the list into extension sectors; the
        // last one names itself as the next.
        {"extension list that loops", patched([&](QByteArray& b) {
             const qsizetype sectors = 300;
             b.append(QByteArray(sectors * 512, '\0'));
             const std::uint32_t last = static_cast<std::uint32_t>(b.size() / 512 - 2);
             put32(b, 0x2C, 240);
             put32(b, 0x44, last);
             put32(b, 0x48, 2);
             put32(b, (last + 1) * 512 + 127 * 4, last);
         }),
         "lista de sectores de asignación forma un ciclo"},
        {"directory chain out of the file", patched([&](QByteArray& b) { put32(b, 0x30, 77777); }),
         "apunta fuera del archivo"},
        {"root entry missing", patched([&](QByteArray& b) {
             const qsizetype dir = (qFromLittleEndian<std::uint32_t>(b.constData() + 0x30) + 1) * 512;
             b[dir + 66] = 2;
         }),
         "entrada raíz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            xl::readCompoundDocument(c.bytes, QStringLiteral("x.xls"));
            ADD_FAILURE() << "read without error";
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("dañado"))) << e.message().toStdString();
        }
    }
}

// A version 4 document (4096-byte sectors) reads as its version 3 twin, with
// its Workbook stream in the mini stream or in regular sectors, from memory
// and from the file.
TEST(XlsReader, ReadsVersion4DocumentsAsTheirVersion3Twins) {
    const struct {
        const char* version4;
        const char* version3;
    } cases[] = {
        {"version-4-small-waybill.xls", "mini-stream-small-waybill.xls"},
        {"version-4-sst-continue.xls", "sst-continue-encoding-switch.xls"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version4);
        expectReadsAs(dataFile(c.version4), c.version3);
    }
}


// Past its memory bound a sheet is refused with the file named; the same file
// reads under the ordinary bound.
TEST(XlsReader, RefusesASheetPastItsMemoryBound) {
    const QByteArray bytes = load(dataFile("sheetjs-many-rows.xls"));
    try {
        xl::readCompoundDocument(bytes, QStringLiteral("grande.xls"), 8 << 10);
        ADD_FAILURE() << "read without error";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("\"grande.xls\""))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("en memoria"))) << e.message().toStdString();
    }
    EXPECT_EQ(xl::readCompoundDocument(bytes, QStringLiteral("grande.xls")).firstWorksheet.rowCount(), 601);
}

}  // namespace
