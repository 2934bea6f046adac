#include "platform/runtime/datetime.h"

#include "platform/runtime/exception.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

rtl::TFormatSettings slashColon() { return rtl::TFormatSettings{}; }

rtl::TFormatSettings dotsAndDashes() {
    rtl::TFormatSettings s;
    s.DateSeparator = u'-';
    s.TimeSeparator = u'.';
    return s;
}

TEST(DayNumbers, CountFrom30December1899) {
    EXPECT_EQ(rtl::EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(rtl::EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(rtl::EncodeDate(2021, 6, 28), 44375);
    EXPECT_DOUBLE_EQ(rtl::EncodeDateTime(1900, 1, 1, 6, 0, 0), 2.25);
    EXPECT_DOUBLE_EQ(rtl::EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
    const auto p = rtl::DecodeDateTime(-1.25);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
    const auto q = rtl::DecodeDateTime(44375.999999999);  // rounds to midnight of the next day
    EXPECT_EQ(q.day, 29);
    EXPECT_EQ(q.hour, 0);
    EXPECT_THROW(rtl::EncodeDate(2021, 2, 31), rtl::EConvertError);
}

TEST(DayNumbers, FarBeyondAnyCalendarIsRefusedNotMisread) {
    for (const double v : {1e300, -1e300, 1e19, -9.3e18, 2e11}) {
        SCOPED_TRACE(v);
        EXPECT_THROW(rtl::DecodeDateTime(v), rtl::EConvertError);
        EXPECT_THROW(rtl::FormatDateTime(QStringLiteral("dd mmm yyyy"), v, slashColon()), rtl::EConvertError);
    }
    // Far but still a day of the calendar: decoded, with a real month.
    const auto p = rtl::DecodeDateTime(9e10);
    EXPECT_GE(p.month, 1);
    EXPECT_LE(p.month, 12);
    EXPECT_EQ(rtl::DecodeDateTime(std::nan("")).year, 1899);
}

TEST(FormatDateTime, PatternsOfTheProgram) {
    const double midnight = rtl::EncodeDate(2021, 6, 28);
    const double afternoon = rtl::EncodeDateTime(2021, 6, 28, 14, 5, 9);
    const struct { const char* pattern; double v; const char* slash; const char* other; } cases[] = {
        {"dd/MM/yyyy\" - \"hh:nn:ss", afternoon, "28/06/2021 - 14:05:09", "28-06-2021 - 14.05.09"},
        {"MM/dd/yyyy", midnight, "06/28/2021", "06-28-2021"},
        {"MM/dd/yyyy HH:nn:ss", afternoon, "06/28/2021 14:05:09", "06-28-2021 14.05.09"},
        {"DD/MM/YY", midnight, "28/06/21", "28-06-21"},
        {"DD/MM/YY HH:nn:ss", afternoon, "28/06/21 14:05:09", "28-06-21 14.05.09"},
        {"yyyy-MM-dd HH:nn:ss", midnight, "2021-06-28 00:00:00", "2021-06-28 00.00.00"},
        {"d/m/yy h:mm", rtl::EncodeDateTime(2021, 1, 5, 7, 3, 0), "5/1/21 7:03", "5-1-21 7.03"},
        {"'literal /' dd", midnight, "literal / 28", "literal / 28"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(rtl::FormatDateTime(QString::fromUtf8(c.pattern), c.v, slashColon()), QString::fromUtf8(c.slash));
        EXPECT_EQ(rtl::FormatDateTime(QString::fromUtf8(c.pattern), c.v, dotsAndDashes()),
                  QString::fromUtf8(c.other));
    }
}

TEST(StrToDate, FollowsTheShortDateFormat) {
    rtl::TFormatSettings dmy;
    dmy.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    rtl::TFormatSettings mdy;
    mdy.ShortDateFormat = QStringLiteral("MM/dd/yy");
    EXPECT_EQ(rtl::StrToDate(QStringLiteral("28/06/2021"), dmy), rtl::EncodeDate(2021, 6, 28));
    EXPECT_EQ(rtl::StrToDate(QStringLiteral(" 2/06/2021 "), dmy), rtl::EncodeDate(2021, 6, 2));
    EXPECT_EQ(rtl::StrToDate(QStringLiteral("06/28/21"), mdy), rtl::EncodeDate(2021, 6, 28));
    // Blanks around each number, as the pieces of a fixed-width text leave them.
    const struct { const char* text; double date; } blanks[] = {
        {"28 / 06 / 2021", rtl::EncodeDate(2021, 6, 28)},
        {"28/ 6/2021", rtl::EncodeDate(2021, 6, 28)},
        {" 8 /06/21", rtl::EncodeDate(2021, 6, 8)},
    };
    for (const auto& b : blanks) {
        SCOPED_TRACE(b.text);
        EXPECT_EQ(rtl::StrToDate(QLatin1String(b.text), dmy), b.date);
    }
    for (const char* bad : {"31/02/2021", "2021-06-28", "ab/cd/efgh", "", "28/06/2021/1", "28//2021",
                            "28/06/20211", "28/ /2021", "2 8/06/2021"}) {
        SCOPED_TRACE(bad);
        double v = 0;
        EXPECT_FALSE(rtl::TryStrToDate(QLatin1String(bad), dmy, v));
    }
    EXPECT_THROW(rtl::StrToDate(QStringLiteral("x"), dmy), rtl::EConvertError);
    rtl::TFormatSettings dashes = dmy;
    dashes.DateSeparator = u'-';
    double v = 0;
    EXPECT_FALSE(rtl::TryStrToDate(QStringLiteral("28/06/2021"), dashes, v));
    EXPECT_TRUE(rtl::TryStrToDate(QStringLiteral("28-06-2021"), dashes, v));
}

}  // namespace
