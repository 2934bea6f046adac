#include "config/funciones.h"

#include "platform/dialogs/dialogs.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/format_settings.h"
#include "tests/support/process_locale.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>


namespace {

struct CampoCase {
    const char* name;
    const char16_t* s;
    int i;
    char16_t del;
    bool cortar;
    const char16_t* expected;
};

TEST(SacoCampo, TableOfCases) {
    const CampoCase cases[] = {
        {"empty text, any field", u"", 1, u'=', false, u""},
        {"empty text, trimmed", u"", 3, u'=', true, u""},
        {"no separator: whole text without quotes", u"a\"b\"c", 1, u'=', false, u"abc"},
        {"alias argument, name", u"/ALIAS=DSN1", 1, u'=', false, u"/ALIAS"},
        {"alias argument, value", u"/ALIAS=DSN1", 2, u'=', false, u"DSN1"},
        {"alias without equals", u"/ALIAS", 2, u'=', false, u""},
        {"only the second field of A=B", u"/ALIAS=A=B", 2, u'=', false, u"A"},
        {"quoted separator stays", u"a=\"b=c\"", 2, u'=', false, u"b=c"},
        {"unmatched quote protects the rest", u"a=\"b=c=d", 2, u'=', false, u"b=c=d"},
        {"two quotes in a row leave none", u"a=\"b\"\"c\"", 2, u'=', false, u"bc"},
        {"bar in the text ends a field", u"a|b=c", 2, u'=', false, u"b"},
        {"bar between quotes still ends a field", u"\"a|b\"=c", 1, u'=', false, u"a"},
        {"bar as separator: quotes protect nothing", u"\"a|b\"|c", 2, u'|', false, u"b"},
        {"quote as separator: opening quote stays in the field", u"a\"b\"c", 1, u'"', false, u"ab"},
        {"quote as separator: closing quote is a boundary", u"a\"b\"c", 2, u'"', false, u"c"},
        {"separator at the start", u"=a", 1, u'=', false, u""},
        {"separator at the end", u"a=", 2, u'=', false, u""},
        {"two separators in a row", u"a==b", 2, u'=', false, u""},
        {"one past the last field", u"a=b", 3, u'=', false, u""},
        {"blanks kept without cortar", u"a= b \t", 2, u'=', false, u" b \t"},
        {"blanks and controls trimmed with cortar", u"a= b \t", 2, u'=', true, u"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(saco_campo(QString::fromUtf16(c.s), c.i, QChar(c.del), QChar(), c.cortar),
                  QString::fromUtf16(c.expected));
    }
}

TEST(SacoCampo, LeavesTheCallersTextAlone) {
    const QString s = QStringLiteral("a=b");
    saco_campo(s, 1, u'=', QChar(), false);
    EXPECT_EQ(s, QStringLiteral("a=b"));
}

TEST(SacoCampo, FieldBelowOneIsRefused) {
    EXPECT_THROW(saco_campo(QStringLiteral("a=b"), 0, u'=', QChar(), false), rtl::EListError);
    // The empty text answers before the index is looked at.
    EXPECT_EQ(saco_campo(QString(), 0, u'=', QChar(), false), QString());
}

TEST(FloatStr, ThreeDecimalsWithAPointWhateverTheLocale) {
    const struct { long double v; const char* out; } cases[] = {
        {2.5L, "2.500"},   {0.0L, "0.000"},       {-12.0L, "-12.000"}, {100.25L, "100.250"},
        {1.5L, "1.500"},   {0.25L, "0.250"},      {0.0625L, "0.063"},  {-1.0005L, "-1.001"},
        {2.0005L, "2.001"}, {123456.7894L, "123456.789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(FloatStr(c.v), QLatin1String(c.out));
    }
}

TEST(FloatStr, KeepsThePointUnderACommaLocale) {
    // The process under es_UY as the program starts under it: the C library's
    // locale and the program's settings both say comma.
    const rtl::TFormatSettings before = rtl::FormatSettings();
    vextest::ProcessLocale comma;
    ASSERT_TRUE(comma.ok());
    rtl::initFormatSettingsFromLocale();
    const QChar decimal = rtl::FormatSettings().DecimalSeparator;
    const QString shown = FloatStr(1.5L);
    const QString negative = FloatStr(-1234.0625L);
    rtl::FormatSettings() = before;
    EXPECT_EQ(decimal, u',');
    EXPECT_EQ(shown, QStringLiteral("1.500"));
    EXPECT_EQ(negative, QStringLiteral("-1234.063"));
}

TEST(ComboCodigo, ReadsTheChosenItemsInteger) {
    QComboBox combo;
    EXPECT_EQ(ComboCodigo(&combo), 0);  // empty box
    combo.addItem(QStringLiteral("000123 - 31/12/2021"), 41);
    combo.addItem(QStringLiteral("000124 - 01/01/2022"), 0);
    combo.addItem(QStringLiteral("sin dato"));
    combo.setCurrentIndex(-1);
    EXPECT_EQ(ComboCodigo(&combo), 0);  // nothing chosen
    combo.setCurrentIndex(0);
    EXPECT_EQ(ComboCodigo(&combo), 41);
    combo.setCurrentIndex(1);
    EXPECT_EQ(ComboCodigo(&combo), 0);
    combo.setCurrentIndex(2);
    EXPECT_EQ(ComboCodigo(&combo), 0);
    combo.setCurrentIndex(0);
    combo.clear();
    EXPECT_EQ(ComboCodigo(&combo), 0);
}

TEST(ConSeparadorFinal, AddsASlashOnlyWhereNoSeparatorEndsTheDirectory) {
    const struct {
        const char* dir;
        const char* expected;
    } cases[] = {
        {"/srv/html", "/srv/html/"},
        {"/srv/html/", "/srv/html/"},
        {"C:\\html\\", "C:\\html\\"},  // written on Windows
        {"C:\\html", "C:\\html/"},
        {"/", "/"},
        {"", "/"},
        {"html", "html/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir);
        EXPECT_EQ(conSeparadorFinal(QString::fromUtf8(c.dir)), QString::fromUtf8(c.expected));
    }
}

TEST(Error, ShowsAModalErrorDialogWithOneOkButton) {
    // The real dialog, closed by a timer the way a user would close it.
    vcl::setMessageHandler({});
    QString seenText;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    int buttons = -1;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenIcon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        modal = box->isModal();
        box->button(QMessageBox::Ok)->click();
    });
    error(QStringLiteral("Error al conectar con la base"));
    EXPECT_EQ(seenText, QStringLiteral("Error al conectar con la base"));
    EXPECT_EQ(seenIcon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(modal);
}

TEST(Error, GoesThroughTheSeamWhenATestAnswers) {
    std::vector<vcl::DialogRequest> seen;
    vcl::setMessageHandler([&](const vcl::DialogRequest& r) { seen.push_back(r); });
    error(QStringLiteral("Falta seleccionar el archivo"));
    vcl::ShowMessage(QStringLiteral("¡Proceso finalizado"));
    vcl::setMessageHandler({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, vcl::DialogKind::Error);
    EXPECT_EQ(seen[0].text, QStringLiteral("Falta seleccionar el archivo"));
    EXPECT_EQ(seen[1].kind, vcl::DialogKind::Message);
}

TEST(Dialogs, WindowsFilterBecomesQtFilter) {
    EXPECT_EQ(vcl::qtFilter(QStringLiteral("Excel Files (*.xls, *.xlsx)|*.xls;*.xlsx")),
              QStringLiteral("Excel Files (*.xls, *.xlsx) (*.xls *.xlsx)"));
    EXPECT_EQ(vcl::qtFilter(QStringLiteral("A|*.a|B|*.b")), QStringLiteral("A (*.a);;B (*.b)"));
}

}  // namespace
