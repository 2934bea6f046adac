#include "platform/runtime/format_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The es_UY locale is compiled into the build tree, so these tests never
// depend on (or change) the machine's generated locales.
class FormatSettingsForLocale : public ::testing::Test {
protected:
    void SetUp() override { setenv("LOCPATH", VEX_TEST_LOCPATH, 1); }
};

TEST_F(FormatSettingsForLocale, UruguayGivesCommaAndSlash) {
    const rtl::TFormatSettings s = rtl::formatSettingsForLocale("es_UY.UTF-8");
    EXPECT_EQ(s.DecimalSeparator, u',');
    EXPECT_EQ(s.DateSeparator, u'/');
    EXPECT_EQ(s.TimeSeparator, u':');
    EXPECT_EQ(s.ShortDateFormat, QStringLiteral("dd/MM/yy"));
}

TEST_F(FormatSettingsForLocale, CLocaleGivesPoint) {
    const rtl::TFormatSettings s = rtl::formatSettingsForLocale("C");
    EXPECT_EQ(s.DecimalSeparator, u'.');
    EXPECT_EQ(s.DateSeparator, u'/');
    EXPECT_EQ(s.ShortDateFormat, QStringLiteral("MM/dd/yy"));
}

TEST_F(FormatSettingsForLocale, EnvironmentDecidesPerCategory) {
    setenv("LC_ALL", "", 1);
    unsetenv("LC_ALL");
    setenv("LANG", "C.UTF-8", 1);
    setenv("LC_NUMERIC", "es_UY.UTF-8", 1);
    setenv("LC_TIME", "C.UTF-8", 1);
    rtl::initFormatSettingsFromLocale();
    EXPECT_EQ(rtl::FormatSettings().DecimalSeparator, u',');
    EXPECT_EQ(rtl::FormatSettings().ShortDateFormat, QStringLiteral("MM/dd/yy"));
    setenv("LC_ALL", "C.UTF-8", 1);
    rtl::initFormatSettingsFromLocale();
    EXPECT_EQ(rtl::FormatSettings().DecimalSeparator, u'.');
}

TEST_F(FormatSettingsForLocale, AnUnavailableCategoryCostsOnlyItsOwnFields) {
    unsetenv("LC_ALL");
    setenv("LANG", "C.UTF-8", 1);
    const struct {
        const char* name;
        const char* numeric;
        const char* time;
        char16_t decimal;
        const char* shortDate;
    } cases[] = {
        {"time locale missing", "es_UY.UTF-8", "xx_NOWHERE.UTF-8", u',', "dd/MM/yyyy"},
        {"numeric locale missing", "xx_NOWHERE.UTF-8", "es_UY.UTF-8", u'.', "dd/MM/yy"},
        {"both there", "es_UY.UTF-8", "C.UTF-8", u',', "MM/dd/yy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("LC_NUMERIC", c.numeric, 1);
        setenv("LC_TIME", c.time, 1);
        const rtl::TFormatSettings s = rtl::formatSettingsForLocale("");
        EXPECT_EQ(s.DecimalSeparator, QChar(c.decimal));
        EXPECT_EQ(s.ShortDateFormat, QLatin1String(c.shortDate));
    }
    unsetenv("LC_NUMERIC");
    unsetenv("LC_TIME");
}

TEST_F(FormatSettingsForLocale, UnknownLocaleKeepsDefaults) {
    const rtl::TFormatSettings s = rtl::formatSettingsForLocale("xx_NOWHERE.UTF-8");
    EXPECT_EQ(s.DecimalSeparator, u'.');
    EXPECT_EQ(s.ShortDateFormat, QStringLiteral("dd/MM/yyyy"));
}

}  // namespace
