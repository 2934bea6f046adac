#include "platform/odbc/odbc.h"
#include "tests/support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEST(QuoteConnectionValue, BracesExactlyWhereTheValueCouldEndOrAddKeys) {
    struct Case {
        const char16_t* value;
        const char16_t* quoted;
    } cases[] = {
        {u"", u""},
        {u"TALVEN", u"TALVEN"},
        {u"bluefoxes", u"bluefoxes"},
        {u"a=b", u"a=b"},
        {u"ñandú €", u"ñandú €"},
        {u"inner blank", u"inner blank"},
        {u"x;PWD=y", u"{x;PWD=y}"},
        {u"a}b", u"{a}}b}"},
        {u"}", u"{}}}"},
        {u"{braced}", u"{{braced}}}"},
        {u" lead", u"{ lead}"},
        {u"trail ", u"{trail }"},
        {u"\tTab", u"{\tTab}"},
        {u"x};DSN={evil", u"{x}};DSN={evil}"},
    };
    for (const auto& c : cases) {
        const QString value = QString::fromUtf16(c.value);
        SCOPED_TRACE(value.toStdString());
        EXPECT_EQ(odbc::quoteConnectionValue(value), QString::fromUtf16(c.quoted));
    }
}

}  // namespace
