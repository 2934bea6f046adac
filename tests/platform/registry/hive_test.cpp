#include "platform/registry/hive.h"

#include "platform/registry/registry_exception.h"

#include <gtest/gtest.h>

namespace {

using reg::Form;
using reg::Hive;

QByteArray header() { return QByteArrayLiteral("VEXALON REGISTRY Version 1\n"); }

TEST(Hive, ParsesEveryValueFormWithItsType) {
    const Hive h = Hive::parse(header() + R"(
;; a comment
# Wine-style metadata lines are ignored
[Software\\Vexalon\\abc] 1700000000
"DBD"="FDC"
"Dir"=str(2):"%HOME%\\html\\"
"NO_VALIDO_VOL"=dword:00000001
"Neg"=dword:ffffffff
"Blob"=hex:01,ff,\
  02
"Wide"=hex(2):41,00,42,00,00,00
"Quad"=hex(b):01,02,03,04,05,06,07,08
"Esc"="a\"b\\c\n\x00e9"
@="default"
)",
                               QStringLiteral("/x/registry.reg"));
    const reg::Key* k = h.findKey(QStringLiteral("software\\VEXALON\\ABC"));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->path, QStringLiteral("Software\\Vexalon\\abc"));

    struct Case {
        const char* name;
        std::uint32_t type;
        Form form;
        QString text;
        std::uint32_t dword;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"dbd", 1, Form::Text, QStringLiteral("FDC"), 0, {}},
        {"DIR", 2, Form::Text, QStringLiteral("%HOME%\\html\\"), 0, {}},
        {"no_valido_vol", 4, Form::DWord, {}, 1, {}},
        {"Neg", 4, Form::DWord, {}, 0xffffffffu, {}},
        {"Blob", 3, Form::Bytes, {}, 0, QByteArray("\x01\xff\x02", 3)},
        {"Wide", 2, Form::Text, QStringLiteral("AB"), 0, {}},
        {"Quad", 11, Form::Bytes, {}, 0, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"Esc", 1, Form::Text, QStringLiteral("a\"b\\c\n\u00e9"), 0, {}},
        {"", 1, Form::Text, QStringLiteral("default"), 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const reg::Value* v = Hive::findValue(*k, QString::fromUtf8(c.name));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, c.type);
        EXPECT_EQ(v->form, c.form);
        EXPECT_EQ(v->text, c.text);
        EXPECT_EQ(v->dword, c.dword);
        EXPECT_EQ(v->bytes, c.bytes);
    }
}

TEST(Hive, SerializedFormParsesBackToTheSameHive) {
    Hive h;
    reg::Key& k = h.ensureKey(QStringLiteral("Software\\Vexalon\\Ab]c"));
    Hive::setValue(k, {QStringLiteral("Quote\"Back\\"), 1, Form::Text,
                       QStringLiteral("C:\\html\\ \"x\"\t\r\n\u0001 ñandú"), 0, {}});
    Hive::setValue(k, {QStringLiteral("Exp"), 2, Form::Text, QStringLiteral("%WINDIR%"), 0, {}});
    Hive::setValue(k, {QStringLiteral("D"), 4, Form::DWord, {}, 0x80000000u, {}});
    Hive::setValue(k, {QStringLiteral("B"), 3, Form::Bytes, {}, 0, QByteArray("\0\x7f", 2)});
    Hive::setValue(k, {QStringLiteral("Multi"), 7, Form::Text, QStringLiteral("a"), 0, {}});
    Hive::setValue(k, {QString(), 1, Form::Text, QStringLiteral("def"), 0, {}});

    const QByteArray text = h.serialize();
    const Hive back = Hive::parse(text, QStringLiteral("mem"));
    EXPECT_EQ(back.serialize(), text);
    ASSERT_EQ(back.keys().size(), 3u);  // Software, Software\Vexalon, and the key
    const reg::Key& bk = back.keys().back();
    EXPECT_EQ(bk.path, k.path);
    ASSERT_EQ(bk.values.size(), k.values.size());
    for (std::size_t i = 0; i < k.values.size(); ++i) {
        SCOPED_TRACE(k.values[i].name.toStdString());
        EXPECT_EQ(bk.values[i].name, k.values[i].name);
        EXPECT_EQ(bk.values[i].type, k.values[i].type);
        EXPECT_EQ(bk.values[i].form, k.values[i].form);
        EXPECT_EQ(bk.values[i].text, k.values[i].text);
        EXPECT_EQ(bk.values[i].dword, k.values[i].dword);
        EXPECT_EQ(bk.values[i].bytes, k.values[i].bytes);
    }
}

TEST(Hive, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    Hive h;
    h.ensureKey(QStringLiteral("Software\\Vexalon"));
    reg::Key& k = h.ensureKey(QStringLiteral("SOFTWARE\\vexalon\\Abc"));
    EXPECT_EQ(k.path, QStringLiteral("Software\\Vexalon\\Abc"));
    Hive::setValue(k, {QStringLiteral("Valor"), 1, Form::Text, QStringLiteral("1"), 0, {}});
    Hive::setValue(k, {QStringLiteral("VALOR"), 4, Form::DWord, {}, 2, {}});
    ASSERT_EQ(k.values.size(), 1u);
    EXPECT_EQ(k.values[0].name, QStringLiteral("Valor"));
    EXPECT_EQ(k.values[0].form, Form::DWord);

    EXPECT_TRUE(h.keyExists(QStringLiteral("software")));
    EXPECT_TRUE(h.keyExists(QStringLiteral("software\\vexalon\\abc")));
    EXPECT_FALSE(h.keyExists(QStringLiteral("software\\vexalon\\ab")));
    EXPECT_FALSE(h.keyExists(QStringLiteral("software\\vexalon\\abcd")));
}

TEST(Hive, ParentOfAListedKeyExists) {
    const Hive h = Hive::parse(header() + "[A\\\\B\\\\C]\n\"v\"=\"1\"\n", QStringLiteral("mem"));
    EXPECT_TRUE(h.keyExists(QStringLiteral("a\\b")));
    EXPECT_EQ(h.findKey(QStringLiteral("A\\B")) != nullptr, true);  // parents are made while parsing
}

TEST(Hive, EmptyTextIsAnEmptyHive) {
    EXPECT_TRUE(Hive::parse(QByteArray(), QStringLiteral("mem")).keys().empty());
    EXPECT_TRUE(Hive::parse(QByteArrayLiteral(" \n\r\n"), QStringLiteral("mem")).keys().empty());
}

TEST(Hive, TextThatIsNotAHiveIsRefusedNamingFileAndLine) {
    struct Case {
        const char* name;
        QByteArray text;
        int line;
    };
    const Case cases[] = {
        {"no header", "[A]\n", 1},
        {"other header", "WINE REGISTRY Version 2\n", 1},
        {"value outside any key", header() + "\"a\"=\"b\"\n", 2},
        {"unterminated string", header() + "[A]\n\"a\"=\"b\n", 3},
        {"unterminated key", header() + "[A\n", 2},
        {"empty key", header() + "[\\\\]\n", 2},
        {"text after key", header() + "[A] x\n", 2},
        {"missing equals", header() + "[A]\n\"a\" \"b\"\n", 3},
        {"unknown type", header() + "[A]\n\"a\"=qword:1\n", 3},
        {"dword without digits", header() + "[A]\n\"a\"=dword:\n", 3},
        {"dword too long", header() + "[A]\n\"a\"=dword:123456789\n", 3},
        {"bad hex byte", header() + "[A]\n\"a\"=hex:0g\n", 3},
        {"text after value", header() + "[A]\n\"a\"=\"b\" c\n", 3},
        {"bad escape", header() + "[A]\n\"a\"=\"\\x12\"\n", 3},
        {"stray line", header() + "[A]\nhello\n", 3},
        {"invalid UTF-8", header() + "[A]\n\"a\"=\"\xff\"\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Hive::parse(c.text, QStringLiteral("/home/u/.config/vexalon/registry.reg"));
            ADD_FAILURE() << "parsed";
        } catch (const reg::ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("/home/u/.config/vexalon/registry.reg")))
                << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("línea %1").arg(c.line))) << e.what();
        }
    }
}

}  // namespace
