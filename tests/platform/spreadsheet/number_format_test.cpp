// How a number format shows its number, and that the .xls and the .xlsx reader
// turn the same stored serial into the same cell.
#include "platform/spreadsheet/number_format.h"

#include "platform/runtime/datetime.h"
#include "platform/spreadsheet/workbook_reader.h"
#include "zip_builder.h"
#include "tests/platform/spreadsheet/cell_kind_name.h"

#include <QFile>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using xl::CellKind;
using xl::NumberShown;
using xltest::kindName;

const char* shownName(NumberShown s) {
    switch (s) {
    case NumberShown::Plain: return "Plain";
    case NumberShown::Date: return "Date";
    case NumberShown::Duration: return "Duration";
    }
    return "?";
}

TEST(NumberShown, CustomCodes) {
    const struct {
        const char* code;
        NumberShown shown;
    } cases[] = {
        {"[hh]:mm", NumberShown::Duration},
        {"[h]:mm:ss", NumberShown::Duration},
        {"[mm]:ss", NumberShown::Duration},
        {"[s]", NumberShown::Duration},
        {"[HH]:MM", NumberShown::Duration},
        // Colour and locale brackets start with the letters of elapsed sections.
        {"[Magenta]dd/mm/yyyy", NumberShown::Date},
        {"[Magenta]0.00", NumberShown::Plain},
        {"[$-409]h:mm AM/PM", NumberShown::Date},
        {"[Red][h]:mm", NumberShown::Duration},
        // Quoted or escaped brackets are literal text.
        {"\"[h]\" dd/mm", NumberShown::Date},
        {"\\[h\\] hh:mm", NumberShown::Date},
        // Only the first section counts.
        {"hh:mm;[h]:mm", NumberShown::Date},
        {"0.00;[h]:mm", NumberShown::Plain},
        {"yyyy\\-mm\\-dd", NumberShown::Date},
        {"General", NumberShown::Plain},
        {"@", NumberShown::Plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_STREQ(shownName(xl::numberShownByCode(QString::fromUtf8(c.code))), shownName(c.shown));
    }
}

TEST(NumberShown, BuiltinIds) {
    const struct {
        int id;
        NumberShown shown;
    } cases[] = {
        {0, NumberShown::Plain},     {2, NumberShown::Plain},     {14, NumberShown::Date},
        {20, NumberShown::Date},     {22, NumberShown::Date},     {45, NumberShown::Date},
        {46, NumberShown::Duration}, {47, NumberShown::Date},     {49, NumberShown::Plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_STREQ(shownName(xl::builtinNumberShown(c.id)), shownName(c.shown));
    }
}

#ifdef VEX_HAVE_XLS_READER

double date(int y, int m, int d) { return rtl::EncodeDate(y, m, d); }

// One row of the fixtures: the serial as stored, and the day number it stands
// for under a date format in each date system.
struct Serial {
    const char* text;  // as the .xlsx stores it
    double value;      // as the .xls stores it
    double in1900;
    double in1904;
};

// Rows 1 to 7 of tests/data/xls/date-serials-19xx.xls (make_fixtures.py).
const Serial kSerials[] = {
    {"0.5", 0.5, 0.5, date(1904, 1, 1) + 0.5},                         // a time of day
    {"1", 1, date(1900, 1, 1), date(1904, 1, 2)},                     // the first day
    {"59", 59, date(1900, 2, 28), date(1904, 2, 29)},                 // the last day before the phantom
    {"60", 60, date(1900, 2, 28), date(1904, 3, 1)},                  // the phantom 29 February 1900
    {"61", 61, date(1900, 3, 1), date(1904, 3, 2)},                   // from here the calendars agree
    {"10.6320601851852", 10.6320601851852, date(1900, 1, 10) + 0.6320601851852,
     date(1904, 1, 11) + 0.6320601851852},                            // 255:10:10 as a duration
    {"45366.25", 45366.25, date(2024, 3, 15) + 0.25, date(2028, 3, 16) + 0.25},
};

// Columns: A a date format, B a custom elapsed time, C the built-in elapsed
// time (46), D General. Style indices of the .xlsx twin match.
QByteArray twinXlsx(bool date1904) {
    std::string rows;
    int r = 1;
    for (const Serial& s : kSerials) {
        const std::string n = std::to_string(r++);
        rows += "<row r=\"" + n + "\">";
        const char* columns[] = {"A", "B", "C", "D"};
        for (int c = 0; c < 4; ++c)
            rows += std::string("<c r=\"") + columns[c] + n + "\" s=\"" + std::to_string(c == 3 ? 0 : c + 1) +
                    "\"><v>" + s.text + "</v></c>";
        rows += "</row>";
    }
    const std::string styles =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<numFmts count=\"1\"><numFmt numFmtId=\"165\" formatCode=\"[hh]:mm:ss\"/></numFmts>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"165\"/>"
        "<xf numFmtId=\"46\"/></cellXfs></styleSheet>";
    return xltest::makeXlsx(xltest::sheet(rows), {{"xl/styles.xml", styles}},
                            date1904 ? "date1904=\"1\"" : "");
}

QByteArray load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) ADD_FAILURE() << "cannot open " << path.toStdString();
    return f.readAll();
}

TEST(DateSerials, XlsAndXlsxGiveTheSameCells) {
    const struct {
        const char* label;
        const char* xls;
        bool date1904;
    } systems[] = {{"1900 date system", "date-serials-1900.xls", false},
                   {"1904 date system", "date-serials-1904.xls", true}};
    for (const auto& system : systems) {
        SCOPED_TRACE(system.label);
        const QString xlsPath = QStringLiteral(VEX_TEST_DATA "/xls/") + QString::fromUtf8(system.xls);
        const xl::WorkbookData xls = xl::readWorkbook(load(xlsPath), xlsPath);
        const xl::WorkbookData xlsx = xl::readWorkbook(twinXlsx(system.date1904), QStringLiteral("gemelo.xlsx"));
        int row = 1;
        for (const Serial& s : kSerials) {
            SCOPED_TRACE(testing::Message() << "serial " << s.text);
            const struct {
                int column;
                CellKind kind;
                double number;
            } expected[] = {
                {1, CellKind::DateTime, system.date1904 ? s.in1904 : s.in1900},
                {2, CellKind::DateTime, s.value},  // a duration is on no calendar
                {3, CellKind::DateTime, s.value},
                {4, CellKind::Number, s.value},
            };
            for (const auto& e : expected) {
                SCOPED_TRACE(testing::Message() << "column " << e.column);
                const std::optional<xl::Cell> a = xls.firstWorksheet.find(row, e.column);
                const std::optional<xl::Cell> b = xlsx.firstWorksheet.find(row, e.column);
                ASSERT_TRUE(a);
                ASSERT_TRUE(b);
                EXPECT_STREQ(kindName(a->kind), kindName(e.kind)) << "xls";
                EXPECT_STREQ(kindName(b->kind), kindName(e.kind)) << "xlsx";
                EXPECT_DOUBLE_EQ(a->number, e.number) << "xls";
                EXPECT_DOUBLE_EQ(b->number, e.number) << "xlsx";
            }
            ++row;
        }
    }
}

#endif

}  // namespace
