// The SQL literal and dialect helpers: quoting, date and Boolean literals per
// engine name, column types, compact dates. They read only the engine name
// and the format settings, so a query on a connection that never connected
// (no dataset) carries them.
#include "database/VexQuery.h"

#include "platform/runtime/datetime.h"
#include "platform/runtime/format_settings.h"

#include "tests/support/process_locale.h"
#include "tests/support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

class LiteralsTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = rtl::FormatSettings(); }
    void TearDown() override { rtl::FormatSettings() = saved_; }

    QString fecha(const QString& engine, rtl::TDateTime f) {
        q_.SetDriver(engine);
        return q_.fecha_sql(f);
    }

    DBConn conn_;
    TVexQuery q_{conn_};
    rtl::TFormatSettings saved_;
};

const rtl::TDateTime kMidnight = rtl::EncodeDate(2021, 6, 28);
const rtl::TDateTime kAfternoon = rtl::EncodeDateTime(2021, 6, 28, 14, 5, 9);

TEST_F(LiteralsTest, StrQuotedDoublesQuotesAndLeavesEverythingElse) {
    struct Case {
        const char* name;
        QString in, out;
    } cases[] = {
        {"empty", u""_qs, u"''"_qs},
        {"one quote", u"O'Brien"_qs, u"'O''Brien'"_qs},
        {"blanks kept", u"  a b  "_qs, u"'  a b  '"_qs},
        {"backslash single", u"C:\\dir\\"_qs, u"'C:\\dir\\'"_qs},
        {"double quotes and backquotes", u"\"x\" `y`"_qs, u"'\"x\" `y`'"_qs},
        {"line break", u"a\r\nb"_qs, u"'a\r\nb'"_qs},
        {"only quotes", u"''"_qs, u"''''''"_qs},
        {"non-ASCII", u"SEñOR PéREZ €"_qs, u"'SEñOR PéREZ €'"_qs},
    };
    for (const char* engine : {"", "MYSQL", "ACCESS"}) {
        q_.SetDriver(QString::fromLatin1(engine));
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " / " + engine);
            for (bool rq : {false, true})
                for (bool bt : {false, true}) EXPECT_EQ(q_.StrQuoted(c.in, rq, bt), c.out);
        }
    }
}

TEST_F(LiteralsTest, DateLiteralsPerEngine) {
    struct Case {
        const char* engine;
        rtl::TDateTime value;
        QString out;
    } cases[] = {
        {"SQLSERVER", kMidnight, u"'06/28/2021'"_qs},
        {"INTERBASE", kMidnight, u"'06/28/2021'"_qs},
        {"SQLSERVER", kAfternoon, u"'06/28/2021 14:05:09'"_qs},
        {"INTERBASE", kAfternoon, u"'06/28/2021 14:05:09'"_qs},
        {"ORACLE", kMidnight, u"'28/06/21'"_qs},
        {"ORACLE", kAfternoon, u"'28/06/21 14:05:09'"_qs},
        {"SYBASE", kMidnight, u"'2021-06-28 00:00:00'"_qs},
        {"MYSQL", kMidnight, u"'2021-06-28 00:00:00'"_qs},
        {"MYSQL", kAfternoon, u"'2021-06-28 14:05:09'"_qs},
        {"ACCESS", 2.25, u"2.2500000000"_qs},
        {"ACCESS", 0, u"0.0000000000"_qs},
        {"ACCESS", -1.25, u"-1.2500000000"_qs},
        {"ACCESS", kAfternoon, u"44375.5869097222"_qs},
        {"DBF", kMidnight, u""_qs},
        {"PARADOX", kMidnight, u""_qs},
        {"DEFAULT", kMidnight, u""_qs},
        {"mysql", kMidnight, u""_qs},
        {"Oracle", kAfternoon, u""_qs},
        {"", kMidnight, u""_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.engine) + " " + std::to_string(c.value));
        EXPECT_EQ(fecha(QString::fromLatin1(c.engine), c.value), c.out);
    }
}

TEST_F(LiteralsTest, DateLiteralsIgnoreTheLocaleSeparators) {
    // A locale with other separators (and a comma as decimal separator, in
    // the C library too) must never reach a statement.
    vextest::ProcessLocale comma;
    ASSERT_TRUE(comma.ok());
    rtl::initFormatSettingsFromLocale();
    EXPECT_EQ(rtl::FormatSettings().DecimalSeparator, u',');
    EXPECT_EQ(fecha(u"ACCESS"_qs, 2.25), u"2.2500000000"_qs);
    EXPECT_EQ(fecha(u"ACCESS"_qs, 0), u"0.0000000000"_qs);
    EXPECT_EQ(fecha(u"ACCESS"_qs, kAfternoon), u"44375.5869097222"_qs);
    EXPECT_EQ(fecha(u"SQLSERVER"_qs, kAfternoon), u"'06/28/2021 14:05:09'"_qs);
    rtl::FormatSettings().DateSeparator = u'-';
    rtl::FormatSettings().TimeSeparator = u'.';
    rtl::FormatSettings().DecimalSeparator = u',';
    EXPECT_EQ(fecha(u"SQLSERVER"_qs, kAfternoon), u"'06/28/2021 14:05:09'"_qs);
    EXPECT_EQ(fecha(u"ORACLE"_qs, kAfternoon), u"'28/06/21 14:05:09'"_qs);
    EXPECT_EQ(fecha(u"MYSQL"_qs, kAfternoon), u"'2021-06-28 14:05:09'"_qs);
    EXPECT_EQ(fecha(u"ACCESS"_qs, 2.25), u"2.2500000000"_qs);
    EXPECT_EQ(fecha(u"ACCESS"_qs, -2.5), u"-2.5000000000"_qs);
}

TEST_F(LiteralsTest, BooleanLiteralsPerEngine) {
    struct Case {
        const char* engine;
        QString yes, no;
    } cases[] = {
        {"INTERBASE", u"'T'"_qs, u"'F'"_qs}, {"SQLSERVER", u"'T'"_qs, u"'F'"_qs},
        {"ORACLE", u"'T'"_qs, u"'F'"_qs},    {"MYSQL", u"'T'"_qs, u"'F'"_qs},
        {"DEFAULT", u"TRUE"_qs, u"FALSE"_qs}, {"ACCESS", u"-1"_qs, u"0"_qs},
        {"SYBASE", u""_qs, u""_qs},          {"DBF", u""_qs, u""_qs},
        {"", u""_qs, u""_qs},                {"access", u""_qs, u""_qs},
        {"default", u""_qs, u""_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine);
        q_.SetDriver(QString::fromLatin1(c.engine));
        EXPECT_EQ(q_.bool_sql(true), c.yes);
        EXPECT_EQ(q_.bool_sql(false), c.no);
    }
}

TEST_F(LiteralsTest, ColumnTypeAndWildcard) {
    struct Case {
        const char* engine;
        QString type;
    } cases[] = {
        {"ACCESS", u"DOUBLE"_qs},          {"access", u"DOUBLE PRECISION"_qs},
        {"", u"DOUBLE PRECISION"_qs},      {"MYSQL", u"DOUBLE PRECISION"_qs},
        {"ACCESS ", u"DOUBLE PRECISION"_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine);
        q_.SetDriver(QString::fromLatin1(c.engine));
        EXPECT_EQ(q_.DoubleDef(), c.type);
        EXPECT_EQ(q_.porcentaje(), u"%"_qs);
    }
}

TEST_F(LiteralsTest, CompactDates) {
    struct Case {
        const char* name;
        QString in;
        rtl::TDateTime out;
    } cases[] = {
        {"28 June 2021", u"20210628"_qs, rtl::EncodeDate(2021, 6, 28)},
        {"more characters after", u"20210628XYZ"_qs, rtl::EncodeDate(2021, 6, 28)},
        {"seven digits", u"2021062"_qs, rtl::EncodeDate(2021, 6, 2)},
        {"31 February", u"20210231"_qs, 0},
        {"hyphens", u"2021-06-28"_qs, 0},
        {"letters", u"abcdefgh"_qs, 0},
        {"empty", u""_qs, 0},
        {"month 13", u"20211301"_qs, 0},
        {"29 February of a leap year", u"20240229"_qs, rtl::EncodeDate(2024, 2, 29)},
    };
    for (const QChar sep : {QChar(u'/'), QChar(u'-'), QChar(u'.')}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " separator " + QString(sep).toStdString());
            rtl::FormatSettings().DateSeparator = sep;
            rtl::FormatSettings().ShortDateFormat = u"MM/dd/yyyy"_qs;
            EXPECT_EQ(q_.strYYYYMMDDtodate(c.in), c.out);
            // Stays so for the rest of the run, also after a 0.
            EXPECT_EQ(rtl::FormatSettings().ShortDateFormat, u"dd/MM/yyyy"_qs);
            EXPECT_EQ(rtl::FormatSettings().DateSeparator, sep);
        }
    }
}

TEST_F(LiteralsTest, HelpersOnAQueryWithoutDatasetAndDatasetOperationsRaise) {
    // A connection that never connected: the query has no dataset.
    EXPECT_EQ(q_.Dataset(), nullptr);
    EXPECT_EQ(q_.tipo(), BDAdo);
    EXPECT_FALSE(q_.Active());
    EXPECT_TRUE(q_.Eof());
    q_.Parameters() << u"a=1"_qs;
    q_.SetActive(false);  // closing has nothing to close, but empties the list
    EXPECT_TRUE(q_.Parameters().isEmpty());
    EXPECT_THROW(q_.SQL(), data::EDatabaseError);
    EXPECT_THROW(q_.SetActive(true), data::EDatabaseError);
    EXPECT_THROW(q_.ExecSQL(), data::EDatabaseError);
    EXPECT_THROW(q_.RecordCount(), data::EDatabaseError);
    EXPECT_THROW(q_.FieldByName(u"x"_qs), data::EDatabaseError);
    EXPECT_THROW(q_.ProximoCodigo(u"t"_qs, 0, u"c"_qs), data::EDatabaseError);
    data::TFDMemTable mem;
    EXPECT_THROW(q_.copio_a_memTable(mem), data::EDatabaseError);
    // With a column type, verificar_campo needs the dataset too; without one
    // it answers false first.
    EXPECT_THROW(q_.verificar_campo(u"c"_qs, u"t"_qs, data::ftString, 10, {}), data::EDatabaseError);
    EXPECT_FALSE(q_.verificar_campo(u"c"_qs, u"t"_qs, data::ftBoolean, 10, {}));
    q_.Close();
    q_.Disconnect();
}

TEST(FieldName, CutToTenOnlyForUpperCaseDbf) {
    DBConn conn;
    TVexQuery q(conn);
    struct Case {
        const char* engine;
        QString in, out;
    } cases[] = {
        {"DBF", u"abcdefghijkl"_qs, u"abcdefghij"_qs},
        {"DBF", u"abcdefghij"_qs, u"abcdefghij"_qs},
        {"DBF", u"abc"_qs, u"abc"_qs},
        {"dbf", u"abcdefghijkl"_qs, u"abcdefghijkl"_qs},
        {"", u"abcdefghijkl"_qs, u"abcdefghijkl"_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine);
        q.SetDriver(QString::fromLatin1(c.engine));
        EXPECT_EQ(q.FieldName(c.in), c.out);
    }
}

}  // namespace
