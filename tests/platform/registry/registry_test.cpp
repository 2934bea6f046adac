#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <sys/stat.h>

namespace {

using reg::ERegistryException;
using reg::TRegistry;

// Each test gets its own XDG_CONFIG_HOME, so the per-user hive is a fresh
// file in a temporary directory.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        setenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()).constData(), 1);
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    QString hivePath() const { return dir_.path() + QStringLiteral("/vexalon/registry.reg"); }
    QByteArray hiveBytes() const {
        QFile f(hivePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeHive(const QByteArray& text) const {
        QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
        QFile f(hivePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QTemporaryDir dir_;
};

const QString kKey = QStringLiteral("Software\\Vexalon\\abc");

TEST_F(RegistryTest, HiveLivesUnderXdgConfigHomeOrHome) {
    EXPECT_EQ(reg::userHivePath(), hivePath());
    EXPECT_EQ(TRegistry().HivePath(), hivePath());
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(reg::userHivePath(), QStringLiteral("/home/someone/.config/vexalon/registry.reg"));
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(reg::userHivePath(), QStringLiteral("/home/someone/.config/vexalon/registry.reg"));
}

TEST_F(RegistryTest, WrittenValuesReadBackWithTheirTypes) {
    TRegistry w;
    ASSERT_TRUE(w.OpenKey(kKey, true));
    w.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
    w.WriteExpandString(QStringLiteral("Dir"), QStringLiteral("%HOME%\\x"));
    w.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), 1);
    w.WriteInteger(QStringLiteral("Neg"), -5);
    w.CloseKey();

    TRegistry r;
    ASSERT_TRUE(r.OpenKey(QStringLiteral("\\SOFTWARE\\vexalon\\ABC\\"), false));
    EXPECT_EQ(r.CurrentPath(), kKey);
    EXPECT_EQ(r.ReadString(QStringLiteral("dbd")), QStringLiteral("FDC"));
    EXPECT_EQ(r.ReadString(QStringLiteral("Dir")), QStringLiteral("%HOME%\\x"));  // unexpanded
    EXPECT_EQ(r.ReadInteger(QStringLiteral("no_valido_vol")), 1);
    EXPECT_EQ(r.ReadInteger(QStringLiteral("Neg")), -5);
    EXPECT_EQ(r.GetDataType(QStringLiteral("Dir")), 2u);
    EXPECT_EQ(r.GetDataType(QStringLiteral("none")), 0u);
    EXPECT_EQ(r.ReadString(QStringLiteral("missing")), QString());
    EXPECT_FALSE(r.ValueExists(QStringLiteral("missing")));

    // Overwriting changes the type too.
    TRegistry w2;
    ASSERT_TRUE(w2.OpenKey(kKey, false));
    w2.WriteString(QStringLiteral("no_valido_vol"), QStringLiteral("1"));
    EXPECT_THROW(r.ReadInteger(QStringLiteral("NO_VALIDO_VOL")), ERegistryException);
}

TEST_F(RegistryTest, ReadingTheWrongTypeRaisesNamingTheValue) {
    TRegistry w;
    ASSERT_TRUE(w.OpenKey(kKey, true));
    w.WriteInteger(QStringLiteral("DBD"), 3);
    w.WriteString(QStringLiteral("Texto"), QStringLiteral("1"));
    struct Case {
        const char* what;
        std::function<void()> read;
        QString name;
    };
    const Case cases[] = {
        {"string from DWORD", [&] { w.ReadString(QStringLiteral("DBD")); }, QStringLiteral("DBD")},
        {"integer from string", [&] { w.ReadInteger(QStringLiteral("Texto")); }, QStringLiteral("Texto")},
        {"integer absent", [&] { w.ReadInteger(QStringLiteral("Nada")); }, QStringLiteral("Nada")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.read();
            ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(u'"' + c.name + u'"')) << e.what();
            EXPECT_TRUE(e.message().contains(kKey)) << e.what();
        }
    }
}

TEST_F(RegistryTest, OpeningWithoutCreationCreatesNothing) {
    TRegistry r;
    EXPECT_FALSE(r.KeyExists(kKey));
    EXPECT_FALSE(r.OpenKey(kKey, false));
    EXPECT_FALSE(QFile::exists(hivePath()));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QString());

    ASSERT_TRUE(r.OpenKey(kKey, true));
    EXPECT_TRUE(r.KeyExists(QStringLiteral("\\software\\VEXALON")));
    EXPECT_TRUE(TRegistry().KeyExists(kKey));
    const QByteArray before = hiveBytes();
    ASSERT_TRUE(TRegistry().OpenKey(kKey, true));  // already there: file left alone
    EXPECT_EQ(hiveBytes(), before);
}

TEST_F(RegistryTest, RelativePathsCountFromTheOpenKey) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(QStringLiteral("Software"), true));
    ASSERT_TRUE(r.OpenKey(QStringLiteral("Vexalon"), true));
    EXPECT_EQ(r.CurrentPath(), QStringLiteral("Software\\Vexalon"));
    EXPECT_TRUE(r.KeyExists(QStringLiteral("\\Software")));
    EXPECT_FALSE(r.KeyExists(QStringLiteral("Software")));  // Software\Vexalon\Software
    r.CloseKey();
    EXPECT_TRUE(r.KeyExists(QStringLiteral("Software\\Vexalon")));
}

TEST_F(RegistryTest, WritingWithoutAnOpenKeyRaises) {
    TRegistry r;
    EXPECT_THROW(r.WriteString(QStringLiteral("a"), QStringLiteral("b")), ERegistryException);
    EXPECT_FALSE(QFile::exists(hivePath()));
}

TEST_F(RegistryTest, OnlyTheCurrentUserRootIsKept) {
    TRegistry r;
    EXPECT_EQ(r.RootKey(), reg::HKEY_CURRENT_USER);
    try {
        r.setRootKey(reg::HKEY_LOCAL_MACHINE);
        ADD_FAILURE() << "accepted";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("HKEY_LOCAL_MACHINE"))) << e.what();
    }
    EXPECT_NO_THROW(r.setRootKey(reg::HKEY_CURRENT_USER));
}

TEST_F(RegistryTest, HiveFileAndFolderAreTheUsersOnly) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, true));
    r.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(hivePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(dir_.path() + QStringLiteral("/vexalon")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // No temporary files left beside it.
    const QStringList left = QDir(dir_.path() + QStringLiteral("/vexalon")).entryList(QDir::Files);
    EXPECT_EQ(left, (QStringList{QStringLiteral("registry.reg"), QStringLiteral("registry.reg.lock")}));
}

TEST_F(RegistryTest, FileKeepsWhatOthersWroteMeanwhile) {
    TRegistry a;
    ASSERT_TRUE(a.OpenKey(kKey, true));
    // Another program adds a value after `a` opened its key.
    TRegistry b;
    ASSERT_TRUE(b.OpenKey(QStringLiteral("Software\\Vexalon\\otro"), true));
    b.WriteInteger(QStringLiteral("X"), 7);
    a.WriteInteger(QStringLiteral("Y"), 8);
    TRegistry c;
    ASSERT_TRUE(c.OpenKey(QStringLiteral("Software\\Vexalon\\otro"), false));
    EXPECT_EQ(c.ReadInteger(QStringLiteral("X")), 7);
}

TEST_F(RegistryTest, HandEditedFileIsRead) {
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\r\n[Software\\\\Vexalon\\\\abc]\r\n"
                                "\"DBD\"=\"ADO\"\r\n\"DESA\"=dword:1\r\n"));
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, false));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("ADO"));
    EXPECT_EQ(r.ReadInteger(QStringLiteral("DESA")), 1);
}

TEST_F(RegistryTest, CorruptHiveRaisesNamingItAndIsNeverOverwritten) {
    const QByteArray corrupt = QByteArrayLiteral("VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\abc]\n"
                                                 "\"DBD\"=\"FDC\n\"DESA\"=dword:1\n");
    writeHive(corrupt);
    struct Case {
        const char* what;
        std::function<void(TRegistry&)> op;
    };
    const Case cases[] = {
        {"KeyExists", [](TRegistry& r) { r.KeyExists(kKey); }},
        {"OpenKey", [](TRegistry& r) { r.OpenKey(kKey, false); }},
        {"OpenKey with creation", [](TRegistry& r) { r.OpenKey(QStringLiteral("Software\\Nuevo"), true); }},
        {"WriteString", [](TRegistry& r) {
             r.OpenKey(kKey, true);
             r.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRegistry r;
        try {
            c.op(r);
            ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(hivePath())) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("línea 3"))) << e.what();
        }
        EXPECT_EQ(hiveBytes(), corrupt);
    }
}

}  // namespace
