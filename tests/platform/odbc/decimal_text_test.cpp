// Only the C library's own decimal mark, once between digits, becomes the
// point; any other text stays as the driver gave it.
#include "platform/odbc/decimal_text.h"
#include "tests/support/process_locale.h"

#include <gtest/gtest.h>

#include <string>

namespace vextest {
namespace {

TEST(DecimalText, OnlyTheLocalesDecimalMarkBetweenDigitsBecomesThePoint) {
    const struct {
        const char* text;
        const char* underC;
        const char* underComma;
    } cases[] = {
        {"12,5", "12,5", "12.5"},
        {"-3,25", "-3,25", "-3.25"},
        {"+0,063", "+0,063", "+0.063"},
        {"10.125", "10.125", "10.125"},
        {"125", "125", "125"},
        {"1e5", "1e5", "1e5"},
        {"12-5", "12-5", "12-5"},
        {"1x5", "1x5", "1x5"},
        {"1,2,3", "1,2,3", "1,2,3"},
        {"1.234,5", "1.234,5", "1.234,5"},
        {",5", ",5", ",5"},
        {"5,", "5,", "5,"},
        {"-,5", "-,5", "-,5"},
        {"1 5", "1 5", "1 5"},
        {"1, 5", "1, 5", "1, 5"},
        {"NaN", "NaN", "NaN"},
        {"", "", ""},
    };
    for (const char* locale : {"C", kCommaLocale}) {
        SCOPED_TRACE(locale);
        const bool comma = std::string(locale) != "C";
        const ProcessLocale processLocale(locale);
        ASSERT_TRUE(processLocale.ok());
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            QString text = QString::fromUtf8(c.text);
            odbc::pointAsDecimalSeparator(text);
            EXPECT_EQ(text, QString::fromUtf8(comma ? c.underComma : c.underC));
        }
    }
}

}  // namespace
}  // namespace vextest
