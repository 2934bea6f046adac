#include "platform/runtime/numbers.h"

#include "platform/runtime/exception.h"
#include "tests/support/process_locale.h"

#include <gtest/gtest.h>

namespace {

struct GeneralCase {
    double v;
    const char* point;
    const char* comma;
};
const GeneralCase kGeneralForm[] = {
        {3, "3", "3"},
        {12.5, "12.5", "12,5"},
        {1.0 / 3.0, "0.333333333333333", "0,333333333333333"},
        {-0.25, "-0.25", "-0,25"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1234567.0, "1234567", "1234567"},
        {0.0001, "0.0001", "0,0001"},
        {0.000123, "0.000123", "0,000123"},
        {0.00009999, "9.999E-5", "9,999E-5"},
        {0.00005, "5E-5", "5E-5"},
        {0.00009999999999999999, "0.0001", "0,0001"},
        {0.00001, "1E-5", "1E-5"},
        {-123456789012345.6, "-123456789012346", "-123456789012346"},
        {999999999999999.5, "1E15", "1E15"},
        {1.5e-7, "1.5E-7", "1,5E-7"},
        {999999999999999.0, "999999999999999", "999999999999999"},
        {1e15, "1E15", "1E15"},
        {-0.0, "0", "0"},
};

TEST(FloatToStr, GeneralForm) {
    for (const auto& c : kGeneralForm) {
        SCOPED_TRACE(c.point);
        EXPECT_EQ(rtl::FloatToStr(c.v, u'.'), QLatin1String(c.point));
        EXPECT_EQ(rtl::FloatToStr(c.v, u','), QLatin1String(c.comma));
        EXPECT_EQ(rtl::FloatToStrSql(c.v), QLatin1String(c.point));
    }
}

struct FixedCase {
    double v;
    const char* out;
};
const FixedCase kThreeDecimals[] = {
        {2.5, "2.500"},     {0, "0.000"},          {-12, "-12.000"},   {100.25, "100.250"},
        {0.25, "0.250"},    {2.0005, "2.001"},     {0.0625, "0.063"},  {-1.0005, "-1.001"},
        {0.0004, "0.000"},  {-0.0004, "0.000"},    {9.9995, "10.000"}, {1e-20, "0.000"},
        {123456789.1234, "123456789.123"},
};

TEST(FormatFixedSql, ThreeDecimalsHalvesAwayFromZero) {
    for (const auto& c : kThreeDecimals) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(rtl::FormatFixedSql(c.v, 3), QLatin1String(c.out));
    }
    EXPECT_EQ(rtl::FormatFixedSql(2.25, 10), QStringLiteral("2.2500000000"));
    EXPECT_EQ(rtl::FormatFixedSql(-2.25, 10), QStringLiteral("-2.2500000000"));
}

TEST(StrToFloat, ReadsUnderTheGivenSeparatorOnly) {
    EXPECT_DOUBLE_EQ(rtl::StrToFloat(QStringLiteral(" 12,5 "), u','), 12.5);
    EXPECT_DOUBLE_EQ(rtl::StrToFloat(QStringLiteral("-3"), u','), -3);
    EXPECT_DOUBLE_EQ(rtl::StrToFloat(QStringLiteral("1.5E3"), u'.'), 1500);
    EXPECT_DOUBLE_EQ(rtl::StrToFloat(QStringLiteral("+.5"), u'.'), 0.5);
    for (const char* bad : {"", "  ", "12.5", "1,2,3", "abc", "12a", "1e", "1.000,5", "--1"}) {
        SCOPED_TRACE(bad);
        double v = 0;
        EXPECT_FALSE(rtl::TryStrToFloat(QLatin1String(bad), u',', v));
    }
    try {
        rtl::StrToFloat(QStringLiteral("doce"), u'.');
        FAIL() << "no error";
    } catch (const rtl::EConvertError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("'doce'")));
    }
}

// The C library's locale is not the program's: under es_UY (decimal comma)
// the SQL forms keep their point and the shown forms use the separator asked
// for, nothing else.
TEST(Numbers, TheCLibrarysCommaLocaleChangesNothing) {
    vextest::ProcessLocale comma;
    ASSERT_TRUE(comma.ok());
    for (const auto& c : kGeneralForm) {
        SCOPED_TRACE(c.point);
        EXPECT_EQ(rtl::FloatToStrSql(c.v), QLatin1String(c.point));
        EXPECT_EQ(rtl::FloatToStr(c.v, u'.'), QLatin1String(c.point));
        EXPECT_EQ(rtl::FloatToStr(c.v, u','), QLatin1String(c.comma));
    }
    for (const auto& c : kThreeDecimals) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(rtl::FormatFixedSql(c.v, 3), QLatin1String(c.out));
    }
    EXPECT_EQ(rtl::FormatFixedSql(2.25, 10), QStringLiteral("2.2500000000"));
    EXPECT_EQ(rtl::StrToFloat(QStringLiteral("12.5"), u'.'), 12.5);
    EXPECT_EQ(rtl::StrToFloat(QStringLiteral("12,5"), u','), 12.5);
    double v = 0;
    EXPECT_FALSE(rtl::TryStrToFloat(QStringLiteral("12,5"), u'.', v));
}

}  // namespace
