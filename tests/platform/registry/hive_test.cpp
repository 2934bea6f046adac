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
"Lines"=hex(1):61,00,0a,00,00,00,62,00,00,00
@="default"
)",
                               QStringLiteral("/x/registry.reg"));
    const reg::Key* k = h.findKey(QStringLiteral("software\\VEXALON\\ABC"));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->path(), QStringLiteral("Software\\Vexalon\\abc"));

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
        // Only \\ and \" are escapes; control characters come as hex(1).
        {"Esc", 1, Form::Text, QStringLiteral("a\"b\\c\\n\\x00e9"), 0, {}},
        {"Lines", 1, Form::Text, QStringLiteral("a\n\0b"), 0, {}},
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
    const auto textValue = [](const char* name, std::uint32_t type, const QString& t) {
        return reg::Value{QString::fromUtf8(name), type, Form::Text, t, 0, {}, {}};
    };
    k.setValue(textValue("Quote\"Back\\", 1, QStringLiteral("C:\\html\\ \"x\"\t\r\n\u0001 ñandú\\")));
    k.setValue(textValue("Tail\"", 1, QStringLiteral("ends in a quote\"")));
    k.setValue(textValue("Nul", 1, QString(QChar(u'\0')) + u'a' + QChar(u'\0')));
    k.setValue(textValue("Lone", 1, QString(QChar(0xD800)) + u'x'));  // UTF-8 cannot carry it
    k.setValue(textValue("Exp", 2, QStringLiteral("%WINDIR%\\")));
    k.setValue(textValue("ExpLines", 2, QStringLiteral("a\nb")));
    k.setValue({QStringLiteral("D"), 4, Form::DWord, {}, 0x80000000u, {}, {}});
    k.setValue({QStringLiteral("B"), 3, Form::Bytes, {}, 0, QByteArray("\0\x7f", 2), {}});
    k.setValue(textValue("Multi", 7, QStringLiteral("a")));
    k.setValue(textValue("", 1, QStringLiteral("def")));

    const QByteArray text = h.serialize();
    const Hive back = Hive::parse(text, QStringLiteral("mem"));
    EXPECT_EQ(back.serialize(), text);
    ASSERT_EQ(back.keys().size(), 1u);  // its parents exist only as its parents
    EXPECT_TRUE(back.keyExists(QStringLiteral("software\\vexalon")));
    const reg::Key& bk = back.keys().back();
    EXPECT_EQ(bk.path(), k.path());
    ASSERT_EQ(bk.values().size(), k.values().size());
    for (std::size_t i = 0; i < k.values().size(); ++i) {
        SCOPED_TRACE(k.values()[i].name.toStdString());
        EXPECT_EQ(bk.values()[i].name, k.values()[i].name);
        EXPECT_TRUE(reg::sameData(bk.values()[i], k.values()[i]));
    }
}

TEST(Hive, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    Hive h;
    h.ensureKey(QStringLiteral("Software\\Vexalon"));
    reg::Key& k = h.ensureKey(QStringLiteral("SOFTWARE\\vexalon\\Abc"));
    EXPECT_EQ(k.path(), QStringLiteral("Software\\Vexalon\\Abc"));
    k.setValue({QStringLiteral("Valor"), 1, Form::Text, QStringLiteral("1"), 0, {}, {}});
    k.setValue({QStringLiteral("VALOR"), 4, Form::DWord, {}, 2, {}, {}});
    ASSERT_EQ(k.values().size(), 1u);
    EXPECT_EQ(k.values()[0].name, QStringLiteral("Valor"));
    EXPECT_EQ(k.values()[0].form, Form::DWord);

    EXPECT_TRUE(h.keyExists(QStringLiteral("software")));
    EXPECT_TRUE(h.keyExists(QStringLiteral("software\\vexalon\\abc")));
    EXPECT_FALSE(h.keyExists(QStringLiteral("software\\vexalon\\ab")));
    EXPECT_FALSE(h.keyExists(QStringLiteral("software\\vexalon\\abcd")));
}

TEST(Hive, ParentOfAListedKeyExists) {
    const Hive h = Hive::parse(header() + "[A\\\\Bb\\\\C]\n\"v\"=\"1\"\n", QStringLiteral("mem"));
    EXPECT_TRUE(h.keyExists(QStringLiteral("a\\bB")));
    EXPECT_EQ(h.existingPath(QStringLiteral("a\\BB")), QStringLiteral("A\\Bb"));
    EXPECT_EQ(h.existingPath(QStringLiteral("a\\BB\\c\\")), QStringLiteral("A\\Bb\\C"));
    EXPECT_EQ(h.existingPath(QString()), QString());  // the root
    EXPECT_EQ(h.existingPath(QStringLiteral("A\\C")), std::nullopt);
    EXPECT_EQ(h.findKey(QStringLiteral("A\\Bb")), nullptr);  // holds nothing of its own
    EXPECT_FALSE(h.keyExists(QStringLiteral("A\\B")));
}

TEST(Hive, KeyNamesReadAsAPersonWritesThem) {
    // Every backslash in a header separates components, doubled or not.
    const char* headers[] = {
        R"([Software\Vexalon\importaguias])",
        R"([Software\\Vexalon\\importaguias])",
        R"([Software\Vexalon\\importaguias] 1700000000)",
        R"([\Software\Vexalon\importaguias\])",
        R"(  [SOFTWARE\vexalon\IMPORTAGUIAS]  )",
    };
    for (const char* h : headers) {
        SCOPED_TRACE(h);
        const Hive hive = Hive::parse(header() + h + "\n\"DBD\"=\"ADO\"\n\"NO_VALIDO_VOL\"=dword:1\n",
                                      QStringLiteral("mem"));
        const reg::Key* k = hive.findKey(QStringLiteral("Software\\Vexalon\\importaguias"));
        ASSERT_NE(k, nullptr);
        ASSERT_NE(k->findValue(QStringLiteral("DBD")), nullptr);
        EXPECT_EQ(k->findValue(QStringLiteral("DBD"))->text, QStringLiteral("ADO"));
        ASSERT_NE(k->findValue(QStringLiteral("NO_VALIDO_VOL")), nullptr);
        EXPECT_EQ(k->findValue(QStringLiteral("NO_VALIDO_VOL"))->dword, 1u);
        EXPECT_EQ(hive.keys().size(), 1u);
    }
    // "\]" is a bracket inside a name; the header ends at the last "]".
    const Hive h = Hive::parse(header() + R"([A\\B\]c\])" + "\n", QStringLiteral("mem"));
    EXPECT_NE(h.findKey(QStringLiteral("A\\B]c")), nullptr);
}

TEST(Hive, TextsKeepTheBackslashesAPersonWrote) {
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {R"("x"="C:\temp")", R"(C:\temp)"},
        {R"("x"="C:\\temp")", R"(C:\temp)"},
        {R"("x"="C:\html\")", R"(C:\html\)"},
        {R"("x"="C:\\html\\")", R"(C:\html\)"},
        {R"("x"="\\server\share\n\0\x41")", R"(\server\share\n\0\x41)"},
        {R"("x"="say "hi"")", R"(say "hi")"},
        {R"("x"="say \"hi\"")", R"(say "hi")"},
        {R"("x"=str(2):"%WINDIR%\temp\")", R"(%WINDIR%\temp\)"},
        {R"("x"="")", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Hive h = Hive::parse(header() + "[A]\n" + c.line + "\n", QStringLiteral("mem"));
        const reg::Value* v = h.findKey(QStringLiteral("A"))->findValue(QStringLiteral("x"));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->text, QString::fromUtf8(c.text));
        // Written back and read again, the text is the same.
        const Hive back = Hive::parse(h.serialize(), QStringLiteral("mem"));
        EXPECT_EQ(back.findKey(QStringLiteral("A"))->findValue(QStringLiteral("x"))->text, v->text);
    }
}

TEST(Hive, SectionsNamingOneKeyAreOneKey) {
    // A hand-written section and one a program added beside it.
    const Hive h = Hive::parse(header() + R"(
[Software\Vexalon\importaguias]
"DBD"="ADO"
"NO_VALIDO_VOL"=dword:1

[Software\\Vexalon\\IMPORTAGUIAS]
"dbd"="ADO"
"DESA"=dword:0
)",
                               QStringLiteral("mem"));
    const reg::Key* k = h.findKey(QStringLiteral("software\\vexalon\\importaguias"));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->path(), QStringLiteral("Software\\Vexalon\\importaguias"));
    ASSERT_EQ(k->values().size(), 3u);
    EXPECT_EQ(k->values()[0].name, QStringLiteral("DBD"));
    EXPECT_EQ(k->values()[2].name, QStringLiteral("DESA"));
    const QByteArray out = h.serialize();
    // Both sections stay, each with what it held; the repeated value once.
    EXPECT_EQ(out.count("[Software\\\\Vexalon\\\\importaguias]"), 2) << out.constData();
    EXPECT_EQ(out.count("DBD"), 1) << out.constData();
}

TEST(Hive, RewriteKeepsCommentsAndTimesWhereTheyWere) {
    const QByteArray file = header() + R"(; my settings, by hand
# second note

[Software\Vexalon\importaguias] 1700000000
#time=1d9a8b7c6d5e4f3
"DBD"="ADO"
; volumes are not checked here
"NO_VALIDO_VOL"=dword:00000001

;; the old program's key
[Software\\Vexalon\\TALVEN]
"DBD"="FDC"
; end
)";
    Hive h = Hive::parse(file, QStringLiteral("mem"));
    // Written back unchanged but for the key name's spelling.
    EXPECT_EQ(h.serialize().toStdString(),
              QString::fromUtf8(file).replace(QStringLiteral(R"([Software\Vexalon\importaguias])"),
                                              QStringLiteral(R"([Software\\Vexalon\\importaguias])"))
                  .toStdString());

    Hive::setValue(*h.findKey(QStringLiteral("Software\\Vexalon\\importaguias")),
                   {QStringLiteral("no_valido_vol"), 4, Form::DWord, {}, 0, {}, {}});
    Hive::setValue(h.ensureKey(QStringLiteral("Software\\Vexalon\\nuevo")),
                   {QStringLiteral("DBD"), 1, Form::Text, QStringLiteral("FDC"), 0, {}, {}});
    EXPECT_EQ(h.serialize().toStdString(), (header() + R"(; my settings, by hand
# second note

[Software\\Vexalon\\importaguias] 1700000000
#time=1d9a8b7c6d5e4f3
"DBD"="ADO"
; volumes are not checked here
"NO_VALIDO_VOL"=dword:00000000

;; the old program's key
[Software\\Vexalon\\TALVEN]
"DBD"="FDC"

[Software\\Vexalon\\nuevo]
"DBD"="FDC"
; end
)").toStdString());
}

TEST(Hive, ManyKeysAreFoundAndKeepTheirOrder) {
    const int kKeys = 20000;
    QByteArray file = header();
    for (int i = 0; i < kKeys; ++i) {
        file += QStringLiteral("\n[Software\\\\Vexalon\\\\p%1]\n\"DBD\"=\"%1\"\n").arg(i).toUtf8();
    }
    file += "\n[Software\\\\Vexalon\\\\muchos]\n";
    for (int i = 0; i < kKeys; ++i) file += QStringLiteral("\"v%1\"=dword:%2\n").arg(i).arg(i, 8, 16, QChar(u'0')).toUtf8();
    const Hive h = Hive::parse(file, QStringLiteral("mem"));
    EXPECT_EQ(h.serialize(), file);
    ASSERT_EQ(h.keys().size(), static_cast<std::size_t>(kKeys + 1));
    for (int i = 0; i < kKeys; i += 997) {
        const reg::Key* k = h.findKey(QStringLiteral("SOFTWARE\\VEXALON\\P%1").arg(i));
        ASSERT_NE(k, nullptr) << i;
        EXPECT_EQ(k->findValue(QStringLiteral("dbd"))->text, QString::number(i));
        EXPECT_EQ(h.findKey(QStringLiteral("Software\\Vexalon\\muchos"))->findValue(QStringLiteral("V%1").arg(i))->dword,
                  static_cast<std::uint32_t>(i));
    }
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
        {"stray line", header() + "[A]\nhello\n", 3},
        {"invalid UTF-8 in a value", header() + "[A]\n\"a\"=\"b\"\n\"c\"=\"\xf1\"\n", 4},
        {"invalid UTF-8 in a comment", header() + "[A]\n; a\xff\n", 3},
        {"invalid UTF-8 after a hex list", header() + "[A]\n\"a\"=hex:01,\\\n 02\n;\xff\n", 5},
        {"control character in a key name", header() + "[A\x01]\n", 2},
        {"control character in a value name", header() + "[A]\n\"a\tb\"=\"c\"\n", 3},
        {"value named twice with other data", header() + "[A]\n\"a\"=\"1\"\n\"A\"=\"2\"\n", 4},
        {"value named twice across sections", header() + "[A]\n\"a\"=\"1\"\n[a]\n\"a\"=dword:1\n", 5},
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

namespace {

// The header line of a key `depth` names deep, each name `size` letters.
QByteArray deepHeader(qsizetype depth, qsizetype size = 2) {
    QByteArray out = "[";
    for (qsizetype i = 0; i < depth; ++i) {
        if (i > 0) out += '\\';
        out += QByteArray(size, 'a' + static_cast<char>(i % 26));
    }
    return out + "]\n";
}

// A binary value of 1 + 15 * (lines - 1) bytes whose list goes on over
// `lines` lines.
QByteArray continuedValue(qsizetype lines) {
    QByteArray out = header() + "[A]\n\"Blob\"=hex:00,\\\n";
    const QByteArray line = "  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,\\\n";
    for (qsizetype i = 2; i < lines; ++i) out += line;
    return out + "  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f\n";
}

void expectDamaged(const QByteArray& text, qsizetype line, const QString& said) {
    try {
        Hive::parse(text, QStringLiteral("/home/u/.config/vexalon/registry.reg"));
        ADD_FAILURE() << "parsed";
    } catch (const reg::ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("/home/u/.config/vexalon/registry.reg"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("dañado (línea %1:").arg(line))) << e.what();
        EXPECT_TRUE(e.message().contains(said)) << e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "other exception: " << e.what();
    }
}

}  // namespace

TEST(Hive, NamesAreBoundAsThePlatformBoundsThem) {
    const QByteArray longValueName = "\"" + QByteArray(reg::kMaxValueName + 1, 'v') + "\"=dword:1\n";
    const QByteArray longestValueName = "\"" + QByteArray(reg::kMaxValueName, 'v') + "\"=dword:1\n";
    struct Case {
        const char* name;
        QByteArray text;
        bool read;
        QString said;
    };
    const Case cases[] = {
        {"key name at the bound", header() + deepHeader(3, reg::kMaxKeyName), true, {}},
        {"key name past the bound", header() + deepHeader(3, reg::kMaxKeyName + 1), false,
         QStringLiteral("pasa de 255 caracteres")},
        {"key name past the bound by escapes", header() + "[" + QByteArray(reg::kMaxKeyName, 'a') + "\\]]\n", false,
         QStringLiteral("pasa de 255 caracteres")},
        {"path at the bound", header() + deepHeader(reg::kMaxKeyDepth), true, {}},
        {"path at the bound, doubled backslashes and empty names",
         header() + "[\\\\" + deepHeader(reg::kMaxKeyDepth).mid(1).replace("\\", "\\\\\\"), true, {}},
        {"path past the bound", header() + deepHeader(reg::kMaxKeyDepth + 1), false,
         QStringLiteral("más de 512 niveles")},
        {"value name at the bound", header() + "[A]\n" + longestValueName, true, {}},
        {"value name past the bound", header() + "[A]\n" + longValueName, false,
         QStringLiteral("pasa de 16383 caracteres")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.read) {
            EXPECT_NO_THROW(Hive::parse(c.text, QStringLiteral("mem")));
        } else {
            expectDamaged(c.text, c.text.count('\n'), c.said);
        }
    }
}

TEST(Hive, HostileFilesAreReadOrRefusedAsDamaged) {
    // Each of these once made start-up take seconds or gigabytes.
    const QString tooLarge = QStringLiteral("pasa de %1 MiB").arg(reg::kMaxFileBytes >> 20);
    {
        SCOPED_TRACE("binary value over 40,000 lines");
        const Hive h = Hive::parse(continuedValue(40000), QStringLiteral("mem"));
        const reg::Value* v = h.findKey(QStringLiteral("A"))->findValue(QStringLiteral("Blob"));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->bytes.size(), 1 + 15 * (40000 - 1));
        EXPECT_EQ(v->bytes.back(), '\x0f');
    }
    {
        SCOPED_TRACE("binary value over 200,000 lines (9.8 MB)");
        const QByteArray text = continuedValue(200000);
        // Refused at the line where the file passes the bound.
        expectDamaged(text, text.first(reg::kMaxFileBytes).count('\n') + 1, tooLarge);
    }
    for (const qsizetype depth : {20000, 40000}) {
        SCOPED_TRACE(depth);
        expectDamaged(header() + "[A]\n\n" + deepHeader(depth), 4, QStringLiteral("más de 512 niveles"));
    }
    {
        SCOPED_TRACE("one byte past the size bound");
        QByteArray text = header() + "[A]\n";
        text += QByteArray(reg::kMaxFileBytes - text.size() - 1, ';') + "\n";
        EXPECT_NO_THROW(Hive::parse(text, QStringLiteral("mem")));
        text += "\n";
        expectDamaged(text, 4, tooLarge);
    }
}

TEST(Hive, ManySiblingsAreFoundWithoutRegardToCase) {
    // Past a handful, children and values are found through an index,
    // which must fold case as the comparison does, letters beyond ASCII
    // and outside the BMP included.
    const QStringList names = {QStringLiteral("Ärger"), QStringLiteral("\U00010400x"), QStringLiteral("ñandú"),
                               QStringLiteral("DBD"), QStringLiteral("Ǆ")};
    const QStringList others = {QStringLiteral("äRGER"), QStringLiteral("\U00010428X"), QStringLiteral("ÑANDÚ"),
                                QStringLiteral("dbd"), QStringLiteral("ǆ")};
    QByteArray text = header();
    for (int i = 0; i < 40; ++i) text += QStringLiteral("[Raiz\\k%1]\n\"v%1\"=dword:%1\n").arg(i).toUtf8();
    for (const QString& n : names) text += (QStringLiteral("[Raiz\\") + n + QStringLiteral("]\n")).toUtf8();
    text += "[Raiz\\muchos]\n";
    for (int i = 0; i < 40; ++i) text += QStringLiteral("\"v%1\"=dword:%1\n").arg(i).toUtf8();
    for (const QString& n : names) text += QStringLiteral("\"%1\"=\"%1\"\n").arg(n).toUtf8();
    Hive h = Hive::parse(text, QStringLiteral("mem"));
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        EXPECT_EQ(h.existingPath(QStringLiteral("raiz\\") + others[i]), QStringLiteral("Raiz\\") + names[i]);
        const reg::Key* k = h.findKey(QStringLiteral("RAIZ\\MUCHOS"));
        ASSERT_NE(k, nullptr);
        const reg::Value* v = k->findValue(others[i]);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->text, names[i]);
    }
    EXPECT_EQ(h.findKey(QStringLiteral("raiz\\K39"))->findValue(QStringLiteral("V39"))->dword, 0x39u);
    EXPECT_FALSE(h.keyExists(QStringLiteral("raiz\\k40")));
    // The same names set again are the same values, in their first case.
    reg::Key& k = h.ensureKey(QStringLiteral("raiz\\muchos"));
    const std::size_t count = k.values().size();
    for (const QString& o : others) k.setValue({o, 1, Form::Text, QStringLiteral("otro"), 0, {}, {}});
    EXPECT_EQ(k.values().size(), count);
    EXPECT_EQ(k.findValue(QStringLiteral("ärger"))->name, QStringLiteral("Ärger"));
    EXPECT_EQ(h.ensureKey(QStringLiteral("RAIZ\\ÑANDÚ")).path(), QStringLiteral("Raiz\\ñandú"));
}
