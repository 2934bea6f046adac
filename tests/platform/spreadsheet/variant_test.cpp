// The conversions of a cell value to text and to a number, as the workbook
// reading uses them, under a point locale and under a comma locale.
#include "platform/spreadsheet/variant.h"

#include "platform/runtime/datetime.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/format_settings.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using ole::Variant;

class VariantConversions : public ::testing::Test {
protected:
    void SetUp() override { saved_ = rtl::FormatSettings(); }
    void TearDown() override { rtl::FormatSettings() = saved_; }
    static void useComma() {
        rtl::FormatSettings().DecimalSeparator = u',';
        rtl::FormatSettings().ShortDateFormat = QStringLiteral("dd/MM/yyyy");
        rtl::FormatSettings().DateSeparator = u'/';
        rtl::FormatSettings().TimeSeparator = u':';
    }
    static void usePoint() {
        rtl::FormatSettings().DecimalSeparator = u'.';
        rtl::FormatSettings().ShortDateFormat = QStringLiteral("MM/dd/yy");
        rtl::FormatSettings().DateSeparator = u'-';
        rtl::FormatSettings().TimeSeparator = u'.';
    }
    rtl::TFormatSettings saved_;
};

const double kDay = rtl::EncodeDate(2024, 3, 15);

TEST_F(VariantConversions, ToText) {
    struct Case {
        const char* name;
        Variant value;
        const char16_t* comma;
        const char16_t* point;
    } cases[] = {
        {"empty", Variant(), u"", u""},
        {"fraction", Variant::number(12.5), u"12,5", u"12.5"},
        {"whole number, no separator", Variant::number(20011113333.0), u"20011113333", u"20011113333"},
        {"fifteen significant digits", Variant::number(0.1 + 0.2), u"0,3", u"0.3"},
        {"negative", Variant::number(-0.25), u"-0,25", u"-0.25"},
        {"text unchanged, blanks kept", Variant::text(QStringLiteral("  señor pérez ")), u"  señor pérez ", u"  señor pérez "},
        {"truth", Variant::boolean(true), u"VERDADERO", u"VERDADERO"},
        {"falsehood", Variant::boolean(false), u"FALSO", u"FALSO"},
        {"date alone", Variant::dateTime(kDay), u"15/03/2024", u"03-15-24"},
        {"date with time", Variant::dateTime(kDay + 10.5 / 24), u"15/03/2024 10:30:00", u"03-15-24 10.30.00"},
        {"time alone", Variant::dateTime(0.45905092592592589), u"11:01:02", u"11.01.02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useComma();
        EXPECT_EQ(c.value.toText(), QString::fromUtf16(c.comma));
        usePoint();
        EXPECT_EQ(c.value.toText(), QString::fromUtf16(c.point));
    }
}

TEST_F(VariantConversions, ToNumber) {
    // nullopt: the conversion fails under that locale.
    struct Case {
        const char* name;
        Variant value;
        std::optional<double> comma;
        std::optional<double> point;
    } cases[] = {
        {"empty", Variant(), 0, 0},
        {"number", Variant::number(12.5), 12.5, 12.5},
        {"text in the comma form", Variant::text(QStringLiteral("12,5")), 12.5, std::nullopt},
        {"text in the point form", Variant::text(QStringLiteral("12.5")), std::nullopt, 12.5},
        {"text with blanks around", Variant::text(QStringLiteral("  30 ")), 30, 30},
        {"text with an exponent", Variant::text(QStringLiteral("1e3")), 1000, 1000},
        {"empty text (a formula giving \"\")", Variant::text(QString()), 0, 0},
        {"truth value", Variant::boolean(true), std::nullopt, std::nullopt},
        {"date", Variant::dateTime(kDay), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool comma : {true, false}) {
            comma ? useComma() : usePoint();
            const std::optional<double> expected = comma ? c.comma : c.point;
            if (expected) EXPECT_DOUBLE_EQ(c.value.toNumber(), *expected);
            else EXPECT_THROW(c.value.toNumber(), rtl::EConvertError);
        }
    }
}

TEST_F(VariantConversions, FailuresQuoteTheValue) {
    useComma();
    struct Case {
        const char* name;
        Variant value;
        bool asNumber;
        const char16_t* quoted;
    } cases[] = {
        {"text that is no number", Variant::text(QStringLiteral("12,5 kg")), true, u"'12,5 kg'"},
        {"blanks only", Variant::text(QStringLiteral("   ")), true, u"'   '"},
        {"point under a comma locale", Variant::text(QStringLiteral("12.5")), true, u"'12.5'"},
        {"truth value", Variant::boolean(true), true, u"'VERDADERO'"},
        {"date", Variant::dateTime(kDay), true, u"'15/03/2024'"},
        {"error as number", Variant::error(QStringLiteral("#N/A")), true, u"'#N/A'"},
        {"error as text", Variant::error(QStringLiteral("#DIV/0!")), false, u"'#DIV/0!'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            if (c.asNumber) c.value.toNumber();
            else c.value.toText();
            ADD_FAILURE() << "converted without complaint";
        } catch (const rtl::EConvertError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf16(c.quoted))) << e.message().toStdString();
        }
    }
}

TEST(VariantFromCell, KeepsKindAndValue) {
    xl::Cell text{xl::CellKind::Text, 0, QStringLiteral("ñ")};
    xl::Cell date{xl::CellKind::DateTime, 45366.5, {}};
    xl::Cell boolean{xl::CellKind::Boolean, 1, {}};
    xl::Cell error{xl::CellKind::Error, 0, QStringLiteral("#REF!")};
    EXPECT_EQ(Variant::fromCell(text).type(), Variant::Type::Text);
    EXPECT_EQ(Variant::fromCell(text).rawText(), QStringLiteral("ñ"));
    EXPECT_EQ(Variant::fromCell(date).type(), Variant::Type::DateTime);
    EXPECT_DOUBLE_EQ(Variant::fromCell(date).rawNumber(), 45366.5);
    EXPECT_EQ(Variant::fromCell(boolean).type(), Variant::Type::Boolean);
    EXPECT_EQ(Variant::fromCell(error).rawText(), QStringLiteral("#REF!"));
    EXPECT_TRUE(Variant::fromCell(xl::Cell{}).isEmpty());
}

}  // namespace
