// Crafted packages: what the reader accepts at the edges, and what it refuses
// (with which message) when a file is malformed or built to exhaust memory.
#include "platform/spreadsheet/xlsx_reader.h"
#include "platform/spreadsheet/workbook_reader.h"
#include "platform/spreadsheet/xml_stream.h"

#include "cell_expect.h"
#include "platform/runtime/datetime.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using xl::CellKind;
using xltest::makeXlsx;
using xltest::sheet;

const QString kName = QStringLiteral("/tmp/guias.xlsx");

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string sst(const std::string& items) {
    return "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + items + "</sst>";
}

TEST(XlsxEdges, CellsAndRowsWithoutReferencesFollowTheirNeighbours) {
    const auto wb = xl::readXlsx(makeXlsx(sheet("<row><c><v>1</v></c><c><v>2</v></c></row>"
                                                "<row r=\"5\"><c r=\"C5\"><v>3</v></c><c><v>4</v></c></row>"
                                                "<row><c t=\"inlineStr\"><is><t>x</t></is></c></row>")),
                                 kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 1},
                                            {"B1", CellKind::Number, 2},
                                            {"C5", CellKind::Number, 3},
                                            {"D5", CellKind::Number, 4},
                                            {"A6", CellKind::Text, 0, u"x"},
                                            {"A2", CellKind::Empty}});
}

TEST(XlsxEdges, LastCellOfTheGridIsAccepted) {
    const auto wb = xl::readXlsx(makeXlsx(sheet("<row r=\"1048576\"><c r=\"XFD1048576\"><v>7</v></c></row>")), kName);
    xltest::expectCells(wb.firstWorksheet, {{"XFD1048576", CellKind::Number, 7}});
}

TEST(XlsxEdges, StringDetails) {
    // Phonetic runs are not part of the text; _xHHHH_ escapes are characters;
    // an empty formula result is an (empty) text, a formula never calculated no cell.
    const auto wb = xl::readXlsx(
        makeXlsx(sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                       "<c r=\"C1\" t=\"str\"><f>\"\"</f><v></v></c><c r=\"D1\"><f>1+1</f></c>"
                       "<c r=\"E1\" t=\"d\"><v>2024-03-15T06:00:00Z</v></c></row>"),
                 {{"xl/sharedStrings.xml",
                   sst("<si><r><t>東</t></r><r><t>京</t></r><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>"
                       "<si><t>línea 1_x000D_\nlínea 2 _x00ZZ_</t></si>")}}),
        kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"東京"},
                                            {"B1", CellKind::Text, 0, u"línea 1\r\nlínea 2 _x00ZZ_"},
                                            {"C1", CellKind::Text, 0, u""},
                                            {"D1", CellKind::Empty},
                                            {"E1", CellKind::DateTime, rtl::EncodeDate(2024, 3, 15) + 0.25}});
}

TEST(XlsxEdges, PrefixedNamesAndCustomFormatOverridingABuiltinId) {
    // A custom code reuses id 14 (built-in date) for a plain number, and id 60
    // (not a built-in) for a date: the file's own codes decide.
    const std::string styles =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts>"
        "<numFmt numFmtId=\"14\" formatCode=\"0.00\"/><numFmt numFmtId=\"60\" formatCode=\"yyyy-mm-dd\"/></numFmts>"
        "<cellStyleXfs><xf numFmtId=\"22\"/></cellStyleXfs>"
        "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"60\"/><xf numFmtId=\"22\"/></cellXfs></styleSheet>";
    const std::string prefixed =
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
        "<x:row r=\"1\"><x:c r=\"A1\" s=\"1\"><x:v>45366</x:v></x:c><x:c r=\"B1\" s=\"2\"><x:v>45366</x:v></x:c>"
        "<x:c r=\"C1\" s=\"3\"><x:v>45366.5</x:v></x:c><x:c r=\"D1\" s=\"99\"><x:v>1</x:v></x:c></x:row>"
        "</x:sheetData></x:worksheet>";
    const auto wb = xl::readXlsx(makeXlsx(prefixed, {{"xl/styles.xml", styles}}), kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 45366},
                                            {"B1", CellKind::DateTime, 45366},
                                            {"C1", CellKind::DateTime, 45366.5},
                                            {"D1", CellKind::Number, 1}});
}

TEST(XlsxEdges, Date1904WrittenAsTrue) {
    const std::string styles =
        "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
    const auto wb = xl::readXlsx(makeXlsx(sheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>"),
                                          {{"xl/styles.xml", styles}}, "date1904=\"true\""),
                                 kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::DateTime, rtl::EncodeDate(1904, 1, 2)}});
}

TEST(XlsxEdges, TabsLineBreaksSurrogatePairsAndUnusedBadSharedStrings) {
    const auto wb = xl::readXlsx(
        makeXlsx(sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                       "<c r=\"B1\" t=\"inlineStr\"><is><t>a_x0009_b_x000A_c_x000D_</t></is></c>"
                       "<c r=\"C1\" t=\"str\"><v>_xD83D__xDE00_ y \xF0\x9F\x98\x80</v></c></row>"),
                 {{"xl/sharedStrings.xml", sst("<si><t>ok\t</t></si><si><t>125_x0000_</t></si>")}}),
        kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"ok\t"},
                                            {"B1", CellKind::Text, 0, u"a\tb\nc\r"},
                                            {"C1", CellKind::Text, 0, u"\U0001F600 y \U0001F600"}});
}

struct Refusal {
    const char* name;
    QByteArray bytes;
    const char16_t* messagePart;
    xl::ZipLimits limits = {};
    std::size_t maxSheetBytes = xl::kMaxSheetBytes;
};

void expectRefused(const Refusal& r) {
    SCOPED_TRACE(r.name);
    try {
        xl::readXlsx(r.bytes, kName, r.limits, r.maxSheetBytes);
        ADD_FAILURE() << "read without complaint";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(kName)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QString::fromUtf16(r.messagePart))) << e.message().toStdString();
    }
}

TEST(XlsxRefusals, MalformedCells) {
    const std::string sharedOne = sst("<si><t>a</t></si>");
    const Refusal cases[] = {
        {"column past XFD", makeXlsx(sheet("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")), u"«XFE1»"},
        {"row past 1048576", makeXlsx(sheet("<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>")), u"fuera de los límites"},
        {"huge column letters", makeXlsx(sheet("<row><c r=\"ZZZZZZZZZZZZ1\"><v>1</v></c></row>")), u"fuera de los límites"},
        {"huge row digits", makeXlsx(sheet("<row><c r=\"A99999999999999999999999\"><v>1</v></c></row>")), u"fuera de los límites"},
        {"row element past the edge", makeXlsx(sheet("<row r=\"1048577\"><c><v>1</v></c></row>")), u"fuera de los límites"},
        {"row zero", makeXlsx(sheet("<row r=\"0\"><c><v>1</v></c></row>")), u"fuera de los límites"},
        {"cell without reference past XFD", makeXlsx(sheet("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>")), u"XFD"},
        {"reference without row", makeXlsx(sheet("<row><c r=\"AB\"><v>1</v></c></row>")), u"no es válida"},
        {"reference without column", makeXlsx(sheet("<row><c r=\"12\"><v>1</v></c></row>")), u"no es válida"},
        {"number that is none", makeXlsx(sheet("<row><c r=\"B2\"><v>12,5</v></c></row>")), u"B2"},
        {"infinite number", makeXlsx(sheet("<row><c r=\"B2\"><v>1e999</v></c></row>")), u"número no válido"},
        {"shared string out of range", makeXlsx(sheet("<row><c r=\"A1\" t=\"s\"><v>1</v></c></row>"), {{"xl/sharedStrings.xml", sharedOne}}), u"texto compartido"},
        {"shared string negative", makeXlsx(sheet("<row><c r=\"A1\" t=\"s\"><v>-1</v></c></row>"), {{"xl/sharedStrings.xml", sharedOne}}), u"texto compartido"},
        {"shared string without table", makeXlsx(sheet("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row>")), u"texto compartido"},
        {"boolean that is none", makeXlsx(sheet("<row><c r=\"A1\" t=\"b\"><v>2</v></c></row>")), u"valor lógico"},
        {"ISO date that is none", makeXlsx(sheet("<row><c r=\"A1\" t=\"d\"><v>2024-02-30</v></c></row>")), u"fecha no válida"},
        {"unknown cell type", makeXlsx(sheet("<row><c r=\"A1\" t=\"zz\"><v>1</v></c></row>")), u"tipo desconocido"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

// Texts reach the pool as the workbook holds them, whatever characters they
// carry and wherever they come from: whether the program can take one is
// judged only where a cell is read.
TEST(XlsxEdges, TextsAreKeptAsTheWorkbookHoldsThem) {
    const auto wb = xl::readXlsx(
        makeXlsx(sheet("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>125-_x0000_1</t></is></c>"
                       "<c r=\"B2\" t=\"inlineStr\"><is><t>125_xD800_</t></is></c>"
                       "<c r=\"C2\" t=\"inlineStr\"><is><t>_xDC00_125</t></is></c>"
                       "<c r=\"D2\" t=\"inlineStr\"><is><t>_xDE00__xD83D_</t></is></c>"
                       "<c r=\"E2\" t=\"inlineStr\"><is><t>carta_x000B_segunda_x0007_</t></is></c>"
                       "<c r=\"F2\" t=\"inlineStr\"><is><t>a_xFFFE__xFFFF__x001F_</t></is></c>"
                       "<c r=\"G2\" t=\"inlineStr\"><is><r><t>a</t></r><r><t>_x0000_</t></r></is></c></row>"
                       "<row r=\"3\"><c r=\"C3\" t=\"str\"><f>A1</f><v>x_x0008_</v></c>"
                       "<c r=\"D3\" t=\"inlineStr\"><v>_x0000_</v></c>"
                       "<c r=\"E3\" t=\"s\"><v>0</v></c><c r=\"F3\" t=\"s\"><v>1</v></c></row>"),
                 {{"xl/sharedStrings.xml", sst("<si><r><t>125</t></r><r><t>_xD800_</t></r></si>"
                                               "<si><t>_x0001_ok</t></si>")}}),
        kName);
    xltest::expectCells(wb.firstWorksheet, {{"B2", CellKind::Text, 0, u"125\xD800"},
                                            {"C2", CellKind::Text, 0, u"\xDC00" u"125"},
                                            {"D2", CellKind::Text, 0, u"\xDE00\xD83D"},
                                            {"E2", CellKind::Text, 0, u"carta\x0Bsegunda\x07"},
                                            {"F2", CellKind::Text, 0, u"a\xFFFE\xFFFF\x1F"},
                                            {"C3", CellKind::Text, 0, u"x\x08"},
                                            {"E3", CellKind::Text, 0, u"125\xD800"},
                                            {"F3", CellKind::Text, 0, u"\x01ok"}});
    // Literals with an embedded NUL end at it: compare those by hand.
    EXPECT_EQ(wb.firstWorksheet.find(2, 1)->text, QString::fromStdU16String(std::u16string(u"125-\0" u"1", 6)));
    EXPECT_EQ(wb.firstWorksheet.find(2, 7)->text, QString::fromStdU16String(std::u16string(u"a\0", 2)));
    EXPECT_EQ(wb.firstWorksheet.find(3, 4)->text, QString::fromStdU16String(std::u16string(u"\0", 1)));
}

// A text longer than a cell holds (32,767 units) is only marked, from every
// place a text comes from, and never gathered in full: a 600,000-character
// text stays within a bound of 1 MiB. One at the limit is kept whole, also
// when it is written with escapes.
TEST(XlsxEdges, TextsLongerThanACellAreMarked) {
    const std::size_t max = xl::kMaxCellTextUnits;
    const std::string huge(600'000, 'x');
    const std::string past(max + 1, 'p');
    std::string escapedAtLimit;
    for (std::size_t i = 0; i < max; ++i) escapedAtLimit += "_x0041_";
    const auto wb = xl::readXlsx(
        makeXlsx(sheet("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>" + huge + "</t></is></c>"
                       "<c r=\"B2\" t=\"inlineStr\"><is><r><t>" + past.substr(0, 10) + "</t></r><r><t>" +
                       past.substr(10) + "</t></r></is></c>"
                       "<c r=\"C2\" t=\"str\"><v>" + huge + "</v></c>"
                       "<c r=\"D2\" t=\"inlineStr\"><v>" + past + "</v></c>"
                       "<c r=\"E2\" t=\"e\"><v>" + huge + "</v></c>"
                       "<c r=\"F2\" t=\"s\"><v>0</v></c><c r=\"G2\" t=\"s\"><v>1</v></c>"
                       "<c r=\"H2\" t=\"inlineStr\"><is><t>" + escapedAtLimit + "</t></is></c></row>"),
                 {{"xl/sharedStrings.xml", sst("<si><t>" + huge + "</t></si><si><t>corto</t></si>")}}),
        kName, {}, 1 << 20);
    const xl::SheetData& s = wb.firstWorksheet;
    for (const int col : {1, 2, 3, 4, 5, 6}) {
        SCOPED_TRACE(col);
        const auto c = s.find(2, col);
        ASSERT_TRUE(c);
        EXPECT_TRUE(c->tooLong);
        EXPECT_TRUE(c->text.isEmpty());
        EXPECT_EQ(c->kind, col == 5 ? CellKind::Error : CellKind::Text);
    }
    EXPECT_FALSE(s.find(2, 7)->tooLong);
    EXPECT_EQ(s.find(2, 7)->text, QStringLiteral("corto"));
    EXPECT_FALSE(s.find(2, 8)->tooLong);
    EXPECT_EQ(s.find(2, 8)->text, QString(static_cast<qsizetype>(max), u'A'));
}

// Of two parts with one name some tools read the first and others the last.
TEST(XlsxRefusals, PartsThatShareAName) {
    const std::string one = sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    const std::string two = sheet("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>");
    QByteArray twice = makeXlsx(one, {{"xl/worksheets/sheetQ.xml", two}});
    twice.replace("xl/worksheets/sheetQ.xml", "xl/worksheets/sheet1.xml");  // in the local header and the directory
    const Refusal cases[] = {
        {"the same name twice", twice, u"el archivo está dañado: tiene dos partes con el nombre «xl/worksheets/sheet1.xml»"},
        {"names that differ in case", makeXlsx(one, {{"XL/Worksheets/Sheet1.xml", two}}), u"dos partes con el nombre"},
        {"a part other than the sheet", makeXlsx(one, {{"xl/styles.xml", "<styleSheet/>"}, {"xl/STYLES.xml", "<styleSheet/>"}}),
         u"«xl/"},
    };
    for (const Refusal& r : cases) expectRefused(r);
    // The same part however a tool may spell it: each spelling beside the
    // plain one is damage, whichever of the two comes first in the archive.
    const char* const spellings[] = {
        "xl\\worksheets\\sheet1.xml",  "./xl/worksheets/sheet1.xml",   "/xl/worksheets/sheet1.xml",
        "xl/work%73heets/sheet1.xml",   "xl/worksheets/%53heet1.xml",  "xl%2Fworksheets%2fsheet1.xml",
        "xl//worksheets/sheet1.xml",    "xl/worksheets/./sheet1.xml",  "xl/charts/../worksheets/sheet1.xml",
        "XL\\Worksheets\\SHEET1.XML",  ".\\xl\\work%73heets\\Sheet%31.xml",
    };
    for (const char* spelling : spellings) {
        for (const bool plainFirst : {true, false}) {
            SCOPED_TRACE(std::string(spelling) + (plainFirst ? ", plain one first" : ", plain one last"));
            xltest::Parts parts = xltest::xlsxParts(one, {{spelling, two}});
            if (!plainFirst) std::rotate(parts.begin(), parts.end() - 1, parts.end());
            try {
                xl::readXlsx(xltest::makeZip(parts), kName);
                ADD_FAILURE() << "read without complaint";
            } catch (const xl::ReadError& e) {
                EXPECT_TRUE(e.message().contains(QStringLiteral("el archivo está dañado: tiene dos partes con el nombre")) &&
                            e.message().contains(QString::fromUtf8(spelling)))
                    << e.message().toStdString();
            }
        }
    }
    // Two relationships of one Id: which sheet is read would depend on the tool.
    xltest::Parts twoIds = xltest::xlsxParts(one, {{"xl/worksheets/sheet2.xml", two}});
    for (auto& [name, content] : twoIds)
        if (name == "xl/_rels/workbook.xml.rels")
            content.insert(content.rfind("</Relationships>"),
                           "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                           "relationships/worksheet\" Target=\"worksheets/sheet2.xml\"/>");
    expectRefused({"two relationships of one Id", xltest::makeZip(twoIds),
                   u"el archivo está dañado: la parte «xl/_rels/workbook.xml.rels» tiene dos relaciones con el identificador «rId1»"});
    // Read from a file, as the program does.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dos.xlsx"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(twice);
    f.close();
    try {
        xl::readWorkbookFile(path);
        ADD_FAILURE() << "read without complaint";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(path) && e.message().contains(QStringLiteral("dos partes"))) << e.message().toStdString();
    }
}

// A part is found under any spelling of its name, and names that only look
// alike are different parts; folders are no parts at all.
TEST(XlsxEdges, PartNamesFoundTheWayTheyAreCompared) {
    const std::string one = sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    const std::string two = sheet("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>");
    const auto firstCell = [](const QByteArray& bytes) {
        const auto cell = xl::readXlsx(bytes, kName).firstWorksheet.find(1, 1);
        return cell ? cell->number : -1.0;
    };
    // The sheet written with backslashes (as some Windows tools do), same length.
    QByteArray backslashed = makeXlsx(one);
    backslashed.replace("xl/worksheets/sheet1.xml", "xl\\worksheets\\sheet1.xml");
    EXPECT_EQ(firstCell(backslashed), 1);
    // A relationship target percent-encoded, as a URI may be.
    QByteArray encoded = makeXlsx(one);
    encoded.replace("Target=\"worksheets/sheet1.xml\"", "Target=\"worksheets/%73heet1.xml\"");
    EXPECT_EQ(firstCell(encoded), 1);
    // Neighbours of the sheet's name that are other parts, and folder entries.
    for (const char* name : {"xl/worksheets/sheet11.xml", "xl/worksheets/sheet1.xm", "xl/worksheets/%zzsheet1.xml",
                             "xl/worksheets/sheet1.xml.bak", "xl/worksheets/sheet1.xml/", "xl/", "xl\\"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(firstCell(makeXlsx(one, {{name, two}})), 1);
    }
}

// Cells and texts are bounded in memory together: many cells, texts nearly
// as long as a cell holds, a long shared-string table, each past a bound of 1 MiB.
TEST(XlsxRefusals, SheetPastItsMemoryBound) {
    const std::size_t bound = 1 << 20;
    const std::string manyCells = sheet("<row>" + repeat("<c><v>7</v></c>", 16384) + "</row>" +
                                        repeat("<row>" + repeat("<c><v>1</v></c>", 1000) + "</row>", 60));
    const std::string longTexts =
        sheet("<row>" + repeat("<c t=\"inlineStr\"><is><t>" + std::string(30'000, 'x') + "</t></is></c>", 20) + "</row>");
    const std::string manyStrings = sst(repeat("<si><t>" + std::string(100, 'y') + "</t></si>", 6000));
    const Refusal cases[] = {
        {"many cells", makeXlsx(manyCells), u"en memoria", {}, bound},
        {"long texts", makeXlsx(longTexts), u"en memoria", {}, bound},
        {"long shared-string table", makeXlsx(sheet(""), {{"xl/sharedStrings.xml", manyStrings}}), u"en memoria", {}, bound},
    };
    for (const Refusal& r : cases) expectRefused(r);
    // Under the ordinary bound they read.
    const auto wb = xl::readXlsx(makeXlsx(manyCells), kName);
    xltest::expectCells(wb.firstWorksheet, {{"XFD1", CellKind::Number, 7}, {"ALL61", CellKind::Number, 1}});
}

TEST(XlsxRefusals, HostileXml) {
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
        "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>"
        "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&lol3;</t></is></c></row></sheetData></worksheet>";
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&x;</t></is></c></row></sheetData></worksheet>";
    const std::string deep = sheet("<row><c t=\"inlineStr\"><is>" + repeat("<r>", 400) + repeat("</r>", 400) + "</is></c></row>");
    const Refusal cases[] = {
        {"entity expansion", makeXlsx(laughs), u"declaración de tipo de documento"},
        {"external entity", makeXlsx(external), u"declaración de tipo de documento"},
        {"nesting without bound", makeXlsx(deep), u"anida elementos"},
        {"truncated XML", makeXlsx(sheet("<row><c r=\"A1\"><v>1</v></c></row>").substr(0, 120)), u"no es XML válido"},
        {"unknown entity", makeXlsx(sheet("<row><c t=\"inlineStr\"><is><t>&nbsp;</t></is></c></row>")), u"no es XML válido"},
        {"DTD in the workbook part",
         xltest::makeZip({{"xl/workbook.xml", "<!DOCTYPE a []><workbook/>"}}), u"declaración de tipo de documento"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

// Letters that do not deflate past the ratio a zip bomb shows.
std::string letters(std::size_t size) {
    std::string s(size, 'a');
    std::uint32_t x = 1;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>('a' + (x >> 16) % 26);
    }
    return s;
}

// Expat keeps a tag or comment whole until it ends: one past the markup
// bound is refused as it is gathered, while a text longer than that bound
// arrives in pieces and reads (marked as longer than a cell holds).
TEST(XlsxRefusals, MarkupPastItsBound) {
    const std::string huge = letters(xl::kMaxXmlMarkupBytes + (1 << 20));
    const Refusal cases[] = {
        {"attribute value", makeXlsx(sheet("<row><c r=\"A1\" x=\"" + huge + "\"><v>1</v></c></row>")),
         u"la parte «xl/worksheets/sheet1.xml» tiene una etiqueta, un comentario u otra pieza de marcado de más de 16 MiB"},
        {"comment in the shared strings",
         makeXlsx(sheet(""), {{"xl/sharedStrings.xml", sst("<!--" + huge + "-->")}}),
         u"la parte «xl/sharedStrings.xml» tiene una etiqueta, un comentario u otra pieza de marcado de más de 16 MiB"},
    };
    for (const Refusal& r : cases) expectRefused(r);
    const auto wb = xl::readXlsx(makeXlsx(sheet("<row><c r=\"A1\" t=\"s\"><v>0</v></c></row>"),
                                          {{"xl/sharedStrings.xml", sst("<si><t>" + huge + "</t></si>")}}),
                                 kName);
    const auto cell = wb.firstWorksheet.find(1, 1);
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->tooLong);
}

// The markup bound is exact: a piece of exactly kMaxXmlMarkupBytes reads,
// one byte more is refused, wherever the chunks the part arrives in are cut.
class Counting : public xl::XmlHandler {
public:
    int ended = 0;
    void startElement(const char*, const char**) override {}
    void endElement(const char*) override { ++ended; }
    void characters(const char*, int) override {}
};

struct MarkupCase {
    const char* name;
    const char* testName;
    // A whole document whose one long piece of markup has `length` bytes and
    // starts at `*from`.
    std::string (*make)(std::size_t length, std::size_t* from);
    // Also in even pieces all along, as a worksheet arrives (slow: expat
    // scans an open piece anew with every chunk).
    bool inSmallPieces = false;
};

void PrintTo(const MarkupCase& c, std::ostream* out) { *out << c.name; }

std::string padded(const char* before, std::size_t length, std::size_t fixed, char fill, const char* after) {
    return before + std::string(length - fixed, fill) + after;
}

const MarkupCase kMarkupCases[] = {
    {"attribute", "Attribute", [](std::size_t n, std::size_t* from) { *from = 3; return "<r>" + padded("<a x=\"", n, 9, 'v', "\"/>") + "</r>"; }, true},
    {"comment", "Comment", [](std::size_t n, std::size_t* from) { *from = 3; return "<r>" + padded("<!--", n, 7, 'c', "-->") + "</r>"; }, true},
    {"processing instruction", "ProcessingInstruction", [](std::size_t n, std::size_t* from) { *from = 3; return "<r>" + padded("<?pi ", n, 7, 'p', "?>") + "</r>"; }, true},
    {"comment before the root", "CommentBeforeTheRoot", [](std::size_t n, std::size_t* from) { *from = 0; return padded("<!--", n, 7, 'c', "-->") + "<r/>"; }},
    {"XML declaration", "XmlDeclaration", [](std::size_t n, std::size_t* from) { *from = 0; return padded("<?xml version=\"1.0\"", n, 21, ' ', "?>") + "<r/>"; }},
    {"element name", "ElementName", [](std::size_t n, std::size_t* from) { *from = 3; return "<r>" + padded("<", n, 3, 'n', "/>") + "</r>"; }},
    {"end tag", "EndTag", [](std::size_t n, std::size_t* from) { *from = 6; return "<r><a>" + padded("</a", n, 4, ' ', ">") + "</r>"; }},
    {"character reference", "CharacterReference", [](std::size_t n, std::size_t* from) { *from = 3; return "<r>" + padded("&#", n, 5, '0', "65;") + "</r>"; }},
};

// Parses `doc` cut after each offset in `cuts` (ascending) and then in
// pieces of `step`; nullopt when it reads, else the message.
std::optional<QString> parseInChunks(const std::string& doc, const std::vector<std::size_t>& cuts, std::size_t step) {
    Counting handler;
    try {
        xl::XmlStream xml(handler, kName, "xl/worksheets/sheet1.xml");
        std::size_t at = 0;
        auto next = cuts.begin();
        while (at < doc.size()) {
            const std::size_t until = next != cuts.end() ? *next++ : std::min(doc.size(), at + step);
            const std::size_t n = until - at;
            std::memcpy(xml.buffer(n), doc.data() + at, n);
            xml.parseBuffer(n);
            at = until;
        }
        xml.finish();
    } catch (const xl::ReadError& e) {
        return e.message();
    }
    EXPECT_GT(handler.ended, 0);
    return std::nullopt;
}

class XmlMarkupBound : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(XmlMarkupBound, ExactWhereverTheChunksAreCut) {
    const std::size_t bound = xl::kMaxXmlMarkupBytes;
    {
        const MarkupCase& c = GetParam();
        for (const std::size_t length : {bound, bound + 1, bound + 2}) {
            std::size_t from = 0;
            const std::string doc = c.make(length, &from);
            const std::size_t end = from + length;  // just past the piece
            ASSERT_LT(end, doc.size() + 1);
            // Cut so that the piece ends within a chunk or right at its end, and
            // so that it is open after a chunk with one byte more than the
            // bound (length bound + 2, cut before its last byte).
            const struct {
                const char* name;
                std::vector<std::size_t> cuts;
                std::size_t step;
                bool inSmallPieces;
            } chunkings[] = {
                {"cut before its last byte", {end - 1}, 4096, false},
                {"cut right after it", {end}, 4096, false},
                {"cut after its first byte, then all of it but one byte", {from + 1, end - 1}, 1 << 20, false},
                {"pieces of 256 KiB and 3 bytes", {}, (256 << 10) + 3, true},
                {"pieces of 1 MiB and 7 bytes", {}, (1 << 20) + 7, true},
            };
            for (const auto& chunking : chunkings) {
                if (chunking.inSmallPieces && !c.inSmallPieces) continue;
                if (length == bound + 2 && chunking.cuts != std::vector<std::size_t>{end - 1}) continue;
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(length) + " bytes, " + chunking.name);
                const auto refused = parseInChunks(doc, chunking.cuts, chunking.step);
                if (length <= bound) {
                    EXPECT_FALSE(refused) << refused->toStdString();
                } else {
                    ASSERT_TRUE(refused);
                    EXPECT_TRUE(refused->contains(QStringLiteral("otra pieza de marcado de más de 16 MiB"))) << refused->toStdString();
                }
            }
            // Handed over whole, as feed() takes it.
            Counting handler;
            xl::XmlStream xml(handler, kName, "xl/worksheets/sheet1.xml");
            if (length <= bound) {
                EXPECT_NO_THROW(xml.feed(doc.data(), doc.size()); xml.finish()) << c.name;
            } else {
                EXPECT_THROW(xml.feed(doc.data(), doc.size()); xml.finish(), xl::ReadError) << c.name;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pieces, XmlMarkupBound, ::testing::ValuesIn(kMarkupCases),
                         [](const ::testing::TestParamInfo<MarkupCase>& kind) { return std::string(kind.param.testName); });

TEST(XlsxRefusals, SizeLimitsAndZipBombs) {
    // One megabyte of blanks deflates to about a kilobyte: far past 200:1.
    const std::string padded = sheet("<row><c r=\"A1\"><v>1</v></c></row>" + std::string(1 << 20, ' '));
    xl::ZipLimits smallPart;
    smallPart.maxPartBytes = 64 << 10;
    xl::ZipLimits tightRatio;
    tightRatio.ratioGraceBytes = 64 << 10;
    xl::ZipLimits smallTotal;
    smallTotal.maxTotalBytes = 512 << 10;
    const Refusal cases[] = {
        {"part larger than the limit", makeXlsx(padded), u"ocupa más de", smallPart},
        {"compression ratio of a bomb", makeXlsx(padded), u"proporción anómala", tightRatio},
        {"parts together larger than the limit", makeXlsx(padded), u"sus partes ocupan más de", smallTotal},
    };
    for (const Refusal& r : cases) expectRefused(r);
    // The same file under the default limits is an ordinary (if padded) sheet.
    const auto wb = xl::readXlsx(makeXlsx(padded), kName);
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 1}});
}

TEST(XlsxRefusals, PackagesThatAreNoWorkbook) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const Refusal cases[] = {
        {"not a zip at all", QByteArray("PK\x03\x04 but then nothing"), u"dañado"},
        {"zip cut short", xltest::makeXlsx(sheet("")).left(300), u"dañado"},
        {"no workbook part", xltest::makeZip({{"hola.txt", "hola"}}), u"falta la parte «xl/workbook.xml»"},
        {"ods", xltest::makeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "<a/>"}}), u".ods"},
        {"xlsb", xltest::makeZip({{"xl/workbook.bin", "\x83\x01"}}), u".xlsb"},
        {"only a chart sheet",
         xltest::makeZip({{"xl/workbook.xml", "<workbook xmlns:r=\"r\"><sheets><sheet name=\"G\" r:id=\"rId1\"/></sheets></workbook>"},
                          {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                                                             "chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"}}),
         u"ninguna hoja de cálculo"},
        {"worksheet relationship to a missing part",
         xltest::makeZip({{"xl/workbook.xml", "<workbook xmlns:r=\"r\"><sheets><sheet name=\"H\" r:id=\"rId1\"/></sheets></workbook>"},
                          {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                                                             "worksheet\" Target=\"../../../etc/passwd\"/></Relationships>"}}),
         u"falta la parte «etc/passwd»"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

}  // namespace
