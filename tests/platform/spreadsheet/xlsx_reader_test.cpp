#include "platform/spreadsheet/xlsx_reader.h"

#include "cell_expect.h"
#include "platform/runtime/datetime.h"

#include <QFile>
#include <gtest/gtest.h>

#include <vector>

namespace {

using xl::CellKind;
using xltest::Expect;

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QString shared(const char* name) { return QStringLiteral(VEX_SHARED_WORKBOOKS "/") + QString::fromUtf8(name); }
QString ours(const char* name) { return QStringLiteral(VEX_TEST_DATA "/") + QString::fromUtf8(name); }

xl::WorkbookData read(const QString& path) { return xl::readXlsx(fileBytes(path), path); }

double date(int y, int m, int d) { return rtl::EncodeDate(y, m, d); }

// Workbooks by Excel, LibreOffice and Apache POI: each cell as the file holds it.
TEST(XlsxFixtures, ExcelSharedStringsSparseGrid) {
    const auto wb = read(shared("excel-shared-strings.xlsx"));
    ASSERT_EQ(wb.sheets.size(), 1u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("Sheet1"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"col1"},
                                            {"B1", CellKind::Empty},
                                            {"C1", CellKind::Text, 0, u"col3"},
                                            {"A2", CellKind::Text, 0, u"10x10"},
                                            {"J2", CellKind::Text, 0, u"10x19"},
                                            {"B3", CellKind::Text, 0, u"10x12"},
                                            {"J10", CellKind::Text, 0, u"10x27"}});
}

TEST(XlsxFixtures, RichTextRunsAreJoined) {
    const auto wb = read(shared("excel-rich-text.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"Foo"},
                                            {"A2", CellKind::Text, 0, u"Bar"},
                                            {"A3", CellKind::Text, 0, u"abcdefg"}});
}

TEST(XlsxFixtures, CustomDateFormatsMakeDatesGeneralDoesNot) {
    const auto wb = read(shared("excel-dates-custom-formats.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 41333.5},
                                            {"A2", CellKind::DateTime, 41333.5},
                                            {"A4", CellKind::DateTime, 41333.5},
                                            {"A5", CellKind::DateTime, 41333.5},
                                            {"A7", CellKind::DateTime, 41333.5}});
    EXPECT_EQ(rtl::DecodeDateTime(41333.5).hour, 12);
}

TEST(XlsxFixtures, Date1904SystemShiftsSerials) {
    const auto wb = read(shared("excel-1904-dates.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::DateTime, date(1904, 1, 1)},
                                            {"A2", CellKind::DateTime, date(1906, 9, 27)},
                                            {"A3", CellKind::DateTime, date(1917, 9, 9)},
                                            {"A6", CellKind::DateTime, date(4641, 11, 27)}});
}

TEST(XlsxFixtures, FormulasGiveTheirCachedValues) {
    const auto wb = read(shared("excel-formula-cached-values.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 2},
                                            {"A2", CellKind::Text, 0, u"Foo"},
                                            {"A3", CellKind::Boolean, 1},
                                            {"A4", CellKind::Boolean, 0},
                                            {"A5", CellKind::Error, 0, u"#DIV/0!"},
                                            {"A6", CellKind::Error, 0, u"#N/A"},
                                            {"A7", CellKind::Error, 0, u"#NAME?"},
                                            {"A8", CellKind::Error, 0, u"#NULL!"},
                                            {"A9", CellKind::Error, 0, u"#NUM!"},
                                            {"A10", CellKind::Error, 0, u"#REF!"},
                                            {"A11", CellKind::Error, 0, u"#VALUE!"},
                                            {"A12", CellKind::Error, 0, u"#DIV/0!"}});
}

TEST(XlsxFixtures, TabOrderIsSheetsOrderNotSheetIdOrZipOrder) {
    const auto wb = read(shared("excel-datatypes-tab-order.xlsx"));
    ASSERT_EQ(wb.sheets.size(), 6u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("datatypes"));
    EXPECT_EQ(wb.sheets[5].name, QStringLiteral("spc_chrs"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Number, 1},
                                            {"A2", CellKind::Number, 1.5},
                                            {"A3", CellKind::Text, 0, u"ab"},
                                            {"A4", CellKind::Boolean, 0},
                                            {"A5", CellKind::Text, 0, u"test"},
                                            {"A6", CellKind::DateTime, date(2016, 10, 20)}});
}

TEST(XlsxFixtures, HiddenFirstTabIsStillTheFirstWorksheet) {
    const auto wb = read(shared("excel-hidden-first-sheet.xlsx"));
    ASSERT_EQ(wb.sheets.size(), 3u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("test.csv"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"column a"},
                                            {"B1", CellKind::Text, 0, u" column b"},
                                            {"A2", CellKind::Number, 2},
                                            {"B4", CellKind::DateTime, date(2012, 10, 13)},
                                            {"B5", CellKind::Number, 6},
                                            {"F34", CellKind::Number, 39}});
}

TEST(XlsxFixtures, ChartSheetIsNotAWorksheet) {
    const auto wb = read(shared("excel-chartsheet-hidden-sheets.xlsx"));
    ASSERT_EQ(wb.sheets.size(), 4u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("Visible"));
    EXPECT_TRUE(wb.sheets[1].isWorksheet);
    EXPECT_EQ(wb.sheets[3].name, QStringLiteral("Chart"));
    EXPECT_FALSE(wb.sheets[3].isWorksheet);
    xltest::expectCells(wb.firstWorksheet,
                        {{"A1", CellKind::Number, 1},
                         {"B1", CellKind::Number, 2},
                         {"B3", CellKind::Number, 6},
                         {"A5", CellKind::Text, 0, u"This workbook contains 4 sheets: Visible, Hidden, VeryHidden and Chart"}});
}

TEST(XlsxFixtures, NonAsciiTextDatesAndTimes) {
    const auto wb = read(shared("excel-non-ascii-dates-times.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A2", CellKind::Text, 0, u"John test"},
                                            {"B2", CellKind::DateTime, date(2009, 5, 1)},
                                            {"D2", CellKind::Number, 329.34825000000001},
                                            {"B3", CellKind::DateTime, date(1999, 2, 1)},
                                            {"E3", CellKind::DateTime, 0.45833333333333331},
                                            {"F4", CellKind::DateTime, 0.45905092592592589},
                                            {"A6", CellKind::Text, 0, u"Изображение дня"},
                                            {"A8", CellKind::Text, 0, u"librement réutilisable"}});
}

TEST(XlsxFixtures, PoiInlineStringsBeyondTheDeclaredDimension) {
    const auto wb = read(shared("poi-inline-strings.xlsx"));
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("Feuilles de temps et activités"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"Matricule"},
                                            {"B1", CellKind::Text, 0, u"Temps - Écart réalisé"},
                                            {"B2", CellKind::Text, 0, u"-13:57"},
                                            {"B4", CellKind::DateTime, 0.007638888888888973},
                                            {"A53", CellKind::Text, 0, u"416"},
                                            {"B53", CellKind::Text, 0, u"-00:19"}});
}

TEST(XlsxFixtures, LibreOfficeLayoutAndElapsedTime) {
    const auto wb = read(shared("libreoffice-dates.xlsx"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::DateTime, date(2021, 1, 1)},
                                            {"B1", CellKind::Number, 15},
                                            {"A2", CellKind::DateTime, date(2021, 1, 2)},
                                            {"A3", CellKind::DateTime, 10.6320601851852},
                                            {"B3", CellKind::Number, 17}});
}

// Workbooks written by SheetJS in its two string modes (and rewritten so that
// the first tab is not sheet1.xml): the same cells whatever the mode.
class SheetJsMixed : public ::testing::TestWithParam<const char*> {};

TEST_P(SheetJsMixed, ReadsEveryKindOfValue) {
    const auto wb = read(ours(GetParam()));
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("Mezcla"));
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"texto"},
                                            {"A2", CellKind::Text, 0, u"Señor Pérez"},
                                            {"B2", CellKind::Number, 12.5},
                                            {"C2", CellKind::Text, 0, u"00123"},
                                            {"D2", CellKind::Empty},
                                            {"E2", CellKind::Text, 0, u"ñandú"},
                                            {"A3", CellKind::Text, 0, u"O'Brien's cargo"},
                                            {"B3", CellKind::Number, -0.25},
                                            {"C3", CellKind::Text, 0, u"12,5"},
                                            {"E3", CellKind::Text, 0, u"é"},
                                            {"A4", CellKind::Text, 0, u"  blancos  "},
                                            {"B4", CellKind::Number, 1234567890123},
                                            {"E4", CellKind::Boolean, 1},
                                            {"A5", CellKind::Boolean, 0},
                                            {"B5", CellKind::Number, 0},
                                            {"C5", CellKind::Text, 0, u" 7.5 "},
                                            {"E5", CellKind::DateTime, date(2024, 3, 15)},
                                            {"E6", CellKind::DateTime, date(2024, 3, 15) + 10.5 / 24}});
}

INSTANTIATE_TEST_SUITE_P(Modes, SheetJsMixed,
                         ::testing::Values("sheetjs-str-cells.xlsx", "sheetjs-shared-strings.xlsx",
                                           "sheetjs-first-sheet-not-sheet1.xlsx"));

TEST(XlsxFixtures, LibXlsxWriterFormulasDatesAndChartSheetFirst) {
    const auto wb = read(ours("xlsxwriter-waybills-formulas-chartsheet-first.xlsx"));
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].name, QStringLiteral("Grafico"));
    EXPECT_FALSE(wb.sheets[0].isWorksheet);
    EXPECT_TRUE(wb.sheets[1].isWorksheet);
    const double when = date(2024, 3, 15) + 10.5 / 24;
    xltest::expectCells(wb.firstWorksheet, {{"A1", CellKind::Text, 0, u"Remitente"},
                                            {"E1", CellKind::Text, 0, u"Guía"},
                                            {"A2", CellKind::Text, 0, u"Exportadora Ñuñoa"},
                                            {"B2", CellKind::Text, 0, u"josé o'neill"},
                                            {"C2", CellKind::Empty},
                                            {"I2", CellKind::Number, 12.5},
                                            {"K2", CellKind::Number, 10},
                                            {"E3", CellKind::Number, 20011113333.0},
                                            {"H3", CellKind::Text, 0, u"caja chica"},
                                            {"J3", CellKind::Boolean, 1},
                                            {"F4", CellKind::DateTime, when},
                                            {"G4", CellKind::DateTime, when}});
}

TEST(XlsxSerials, DateSystems) {
    struct Case {
        const char* name;
        double serial;
        bool date1904;
        double expected;
    } cases[] = {
        {"1900: a time alone stays a time", 0.5, false, 0.5},
        {"1900: serial 1 is 1 January 1900", 1, false, date(1900, 1, 1)},
        {"1900: serial 59 is 28 February 1900", 59, false, date(1900, 2, 28)},
        {"1900: the phantom 29 February falls on the 28th", 60, false, date(1900, 2, 28)},
        {"1900: serial 61 is 1 March 1900", 61, false, date(1900, 3, 1)},
        {"1900: modern serials are day numbers", 45366.25, false, date(2024, 3, 15) + 0.25},
        {"1904: serial 0 is 1 January 1904", 0, true, date(1904, 1, 1)},
        {"1904: keeps the time", 1000.75, true, date(1906, 9, 27) + 0.75},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(xl::serialToDateTime(c.serial, c.date1904), c.expected);
    }
}

}  // namespace
