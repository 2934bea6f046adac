// The automation stand-in driven in the order the workbook reading uses it.
#include "platform/spreadsheet/excel_application.h"

#include "platform/runtime/format_settings.h"
#include "platform/spreadsheet/cells.h"
#include "zip_builder.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString ours(const char* name) { return QStringLiteral(VEX_TEST_DATA "/") + QString::fromUtf8(name); }

template <typename F>
QString failureOf(F&& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.message();
    }
    return QStringLiteral("<sin error>");
}

TEST(CreateOleObject, OnlyTheSpreadsheetApplicationIsRegistered) {
    EXPECT_NE(ole::CreateOleObject(QStringLiteral("Excel.Application")), nullptr);
    EXPECT_NE(ole::CreateOleObject(QStringLiteral("excel.application")), nullptr);
    for (const char* id : {"Word.Application", "Excel.Application.16x", ""}) {
        SCOPED_TRACE(id);
        EXPECT_THROW(ole::CreateOleObject(QString::fromUtf8(id)), ole::EOleError);
    }
    EXPECT_TRUE(failureOf([] { ole::CreateOleObject(QStringLiteral("Word.Application")); })
                    .contains(QStringLiteral("\"Word.Application\"")));
}

class ReadingSequence : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = rtl::FormatSettings();
        rtl::FormatSettings().DecimalSeparator = u',';
        rtl::FormatSettings().ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    }
    void TearDown() override { rtl::FormatSettings() = saved_; }
    rtl::TFormatSettings saved_;
};

// Rows from 2 until column 5 reads as empty text: each row's twelve columns
// as text, column 3 skipped as the reading skips it.
QList<QStringList> readRows(const QString& path) {
    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    excel->setVisible(false);
    excel->Workbooks()->open(path);
    auto sheet = excel->Workbooks(1)->Worksheets(1);
    QList<QStringList> rows;
    for (int row = 2; !sheet->Cells(row, 5).toText().isEmpty(); ++row) {
        QStringList cells;
        for (int col = 1; col <= 12; ++col) cells << (col == 3 ? QString() : sheet->Cells(row, col).toText());
        rows << cells;
    }
    excel->Workbooks()->close();
    return rows;
}

TEST_F(ReadingSequence, SheetJsWaybillsStopAtTheFirstEmptyWaybillNumber) {
    const auto rows = readRows(ours("sheetjs-waybills.xlsx"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], (QStringList{QStringLiteral("Tokyo Export Co."), QStringLiteral("señor pérez"), QString(),
                                    QStringLiteral("mismo"), QStringLiteral("125-12345675"), QStringLiteral("MAWB-001"),
                                    QStringLiteral("pp"), QStringLiteral("repuestos de máquinas"), QStringLiteral("12,5"),
                                    QStringLiteral("0,75"), QStringLiteral("3"), QStringLiteral("JPNRT")}));
    EXPECT_EQ(rows[1][1], QStringLiteral("Cargas D'Alessandro"));
    EXPECT_EQ(rows[1][9], QString());  // empty volume
    EXPECT_EQ(rows[1][11], QStringLiteral("jpnrt"));
    EXPECT_EQ(rows[2][0], QStringLiteral("Ñandutí S.A."));
    EXPECT_EQ(rows[2][8], QStringLiteral("30"));  // a weight kept as text
}

#ifdef VEX_HAVE_XLS_READER
TEST_F(ReadingSequence, Biff8WaybillsReadAsTheirXlsxTwin) {
    // The same waybills written by SheetJS as .xls give the same texts.
    EXPECT_EQ(readRows(ours("sheetjs-biff8-waybills.xls")), readRows(ours("sheetjs-waybills.xlsx")));
}
#endif

TEST_F(ReadingSequence, NumbersAndDatesFromLibXlsxWriterBehindAChartSheet) {
    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    excel->Workbooks()->open(ours("xlsxwriter-waybills-formulas-chartsheet-first.xlsx"));
    auto sheet = excel->Workbooks(1)->Worksheets(1);
    EXPECT_EQ(sheet->Cells(1, 1).toText(), QStringLiteral("Remitente"));
    EXPECT_DOUBLE_EQ(sheet->Cells(2, 9).toNumber(), 12.5);   // formula, cached result
    EXPECT_DOUBLE_EQ(sheet->Cells(2, 11).toNumber(), 10);
    EXPECT_DOUBLE_EQ(sheet->Cells(3, 11).toNumber(), 0);     // empty
    EXPECT_EQ(sheet->Cells(3, 5).toText(), QStringLiteral("20011113333"));
    EXPECT_EQ(sheet->Cells(3, 9).toText(), QStringLiteral("0,001"));
    EXPECT_EQ(sheet->Cells(4, 6).toText(), QStringLiteral("15/03/2024 10:30:00"));
    EXPECT_THROW(sheet->Cells(3, 10).toNumber(), rtl::EConvertError);  // TRUE is no weight
    EXPECT_FALSE(excel->visible());
}

TEST(AutomationObjects, RefuseWhatTheyCannotServe) {
    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    EXPECT_THROW(excel->Workbooks(1), ole::EOleError);  // nothing open yet
    excel->Workbooks()->open(ours("sheetjs-str-cells.xlsx"));
    EXPECT_EQ(excel->Workbooks()->count(), 1);
    EXPECT_THROW(excel->Workbooks(0), ole::EOleError);
    EXPECT_THROW(excel->Workbooks(2), ole::EOleError);
    auto book = excel->Workbooks(1);
    EXPECT_THROW(book->Worksheets(2), ole::EOleError);
    EXPECT_THROW(book->Worksheets(0), ole::EOleError);
    auto sheet = book->Worksheets(1);
    for (auto [row, col] : {std::pair{0, 1}, {1, 0}, {xl::kMaxRows + 1, 1}, {1, xl::kMaxColumns + 1}}) {
        SCOPED_TRACE(testing::Message() << row << "," << col);
        EXPECT_THROW(sheet->Cells(row, col), ole::EOleError);
    }
    EXPECT_TRUE(sheet->Cells(xl::kMaxRows, xl::kMaxColumns).isEmpty());
    EXPECT_EQ(sheet->Cells(2, 1).toText(), QStringLiteral("Señor Pérez"));

    // Handles kept past close refuse use instead of reading a closed book.
    excel->Workbooks()->close();
    EXPECT_EQ(excel->Workbooks()->count(), 0);
    EXPECT_THROW(sheet->Cells(2, 1), ole::EOleError);
    EXPECT_THROW(book->Worksheets(1), ole::EOleError);
    EXPECT_THROW(excel->Workbooks(1), ole::EOleError);
}

TEST(AutomationObjects, FailedOpenAddsNoWorkbookAndNamesTheFile) {
    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    const QString missing = ours("no-existe.xlsx");
    const QString message = failureOf([&] { excel->Workbooks()->open(missing); });
    EXPECT_TRUE(message.contains(missing)) << message.toStdString();
    EXPECT_EQ(excel->Workbooks()->count(), 0);
    EXPECT_THROW(excel->Workbooks(1), ole::EOleError);
}

#ifdef VEX_HAVE_XLS_READER
// Tabs of charts and dialogs only: there is no worksheet 1 to read rows from,
// and saying so beats serving an empty sheet that reads as a workbook without rows.
TEST(AutomationObjects, AWorkbookWithoutWorksheetsHasNoWorksheetOne) {
    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    const QString path = ours("xls/no-worksheet.xls");
    excel->Workbooks()->open(path);
    auto book = excel->Workbooks(1);
    const QString message = failureOf([&] { book->Worksheets(1); });
    EXPECT_TRUE(message.contains(QStringLiteral("\"%1\"").arg(path))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("ninguna hoja de cálculo"))) << message.toStdString();
    EXPECT_THROW(book->Worksheets(1), ole::EOleError);
}
#endif

// What a cell holds is judged when the cell is read, and only then: a text
// the program cannot take as written (a NUL, half a surrogate pair, more than
// a cell holds) fails that one read, naming the cell, the sheet and the file;
// every other character comes through as the workbook holds it, and every
// other cell of the sheet still reads.
TEST(AutomationObjects, ATextThatCannotBeTakenFailsOnlyTheReadOfItsCell) {
    const std::string past(xl::kMaxCellTextUnits + 1, 'x');
    const QByteArray bytes = xltest::makeXlsx(
        xltest::sheet("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>a_x0000_b</t></is></c>"
                      "<c r=\"B2\" t=\"s\"><v>0</v></c>"
                      "<c r=\"C2\" t=\"inlineStr\"><is><t>_xDC00_</t></is></c>"
                      "<c r=\"D2\" t=\"inlineStr\"><is><t>" + past + "</t></is></c>"
                      "<c r=\"E2\" t=\"inlineStr\"><is><t>carta_x000B_segunda_x0007__xFFFE__xFFFF_</t></is></c>"
                      "<c r=\"F2\" t=\"e\"><v>" + past + "</v></c>"
                      "<c r=\"G2\"><v>7</v></c></row>"),
        {{"xl/sharedStrings.xml", "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                  "<si><t>x_xD800_</t></si></sst>"}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("guias.xlsx"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();

    auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
    excel->Workbooks()->open(path);
    auto sheet = excel->Workbooks(1)->Worksheets(1);
    const struct {
        int col;
        const char* cell;
        const char* why;
    } refused[] = {
        {1, "A2", "carácter nulo (U+0000)"},
        {2, "B2", "(U+D800"},
        {3, "C2", "(U+DC00"},
        {4, "D2", "más de 32767 caracteres"},
        {6, "F2", "más de 32767 caracteres"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.cell);
        EXPECT_THROW(sheet->Cells(2, r.col), ole::EOleError);
        const QString message = failureOf([&] { sheet->Cells(2, r.col); });
        EXPECT_TRUE(message.startsWith(QStringLiteral("La celda %1 de la hoja «Hoja» del archivo \"%2\" ")
                                           .arg(QString::fromUtf8(r.cell), path)))
            << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(r.why))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("corríjala"))) << message.toStdString();
    }
    EXPECT_EQ(sheet->Cells(2, 5).toText(), QString::fromStdU16String(u"carta\x0Bsegunda\x07\xFFFE\xFFFF"));
    EXPECT_EQ(sheet->Cells(2, 7).toNumber(), 7);
    EXPECT_TRUE(sheet->Cells(2, 8).isEmpty());
}

TEST(AutomationObjects, HandlesOutliveTheApplication) {
    std::shared_ptr<ole::Worksheet> sheet;
    {
        auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
        excel->Workbooks()->open(ours("sheetjs-str-cells.xlsx"));
        sheet = excel->Workbooks(1)->Worksheets(1);
    }
    // The application went without close(): its books closed with it.
    EXPECT_THROW(sheet->Cells(1, 1), ole::EOleError);
}

}  // namespace
