#include "platform/runtime/strings.h"

#include <gtest/gtest.h>

namespace {

TEST(UpperCase, ChangesOnlyAsciiLetters) {
    const struct { const char16_t* in; const char16_t* out; } cases[] = {
        {u"señor pérez", u"SEñOR PéREZ"},
        {u"o'brien ü €", u"O'BRIEN ü €"},
        {u"", u""},
        {u"ABC xyz 123", u"ABC XYZ 123"},
        {u"ñandú", u"ñANDú"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.in).toStdString());
        EXPECT_EQ(rtl::UpperCase(QString::fromUtf16(c.in)), QString::fromUtf16(c.out));
    }
}

TEST(Trim, RemovesBlanksAndControlsOnly) {
    EXPECT_EQ(rtl::Trim(QStringLiteral(" \t\r\n a b \x01")), QStringLiteral("a b"));
    EXPECT_EQ(rtl::Trim(QStringLiteral("   ")), QString());
    // A non-breaking space is not a control character.
    EXPECT_EQ(rtl::Trim(QString::fromUtf16(u"\u00a0x")), QString::fromUtf16(u"\u00a0x"));
}

TEST(QuotedStr, DoublesInnerQuotes) {
    EXPECT_EQ(rtl::QuotedStr(QString()), QStringLiteral("''"));
    EXPECT_EQ(rtl::QuotedStr(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(rtl::QuotedStr(QStringLiteral(" a\\b \"c\" ")), QStringLiteral("' a\\b \"c\" '"));
}

TEST(IntToStr, PlainDigits) {
    EXPECT_EQ(rtl::IntToStr(0), QStringLiteral("0"));
    EXPECT_EQ(rtl::IntToStr(-42), QStringLiteral("-42"));
    EXPECT_EQ(rtl::IntToStr(1234567), QStringLiteral("1234567"));
}

TEST(Copy, PiecesPastTheEndAreShortOrEmpty) {
    const QString s = QStringLiteral("4  0000123");
    EXPECT_EQ(rtl::Copy(s, 5, 6), QStringLiteral("000123"));
    EXPECT_EQ(rtl::Copy(s, 9, 6), QStringLiteral("23"));
    EXPECT_EQ(rtl::Copy(s, 17, 8), QString());
    EXPECT_EQ(rtl::Copy(s, 1, 0), QString());
}

}  // namespace
