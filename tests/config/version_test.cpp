#include "config/version.h"

#include "config/InifilesX.h"
#include "platform/process/process_info.h"
#include "platform/registry/registry.h"
#include "tests/platform/registry/settings_faults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <sys/stat.h>

namespace {

using reg::ERegistryException;

// A fresh per-user hive (XDG_CONFIG_HOME) and a chosen executable name.
class VersionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        setenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()).constData(), 1);
        exe(QStringLiteral("/opt/vexalon/Abc.exe"));
    }
    void TearDown() override {
        proc::setExeNameForTesting(QString());
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("WINDIR");
    }
    static void exe(const QString& path) { proc::setExeNameForTesting(path); }
    QString hivePath() const { return dir_.path() + QStringLiteral("/vexalon/registry.reg"); }
    QByteArray hiveBytes() const {
        QFile f(hivePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    ino_t hiveInode() const {
        struct stat st{};
        return ::stat(QFile::encodeName(hivePath()).constData(), &st) == 0 ? st.st_ino : 0;
    }
    // The key as stored, compared with its exact letter case.
    static QStringList storedKeys() {
        const reg::Hive hive = reg::HiveFile(reg::userHivePath()).read();
        QStringList out;
        for (const reg::Key& k : hive.keys()) out << k.path();
        return out;
    }
    static void put(const QString& key, const std::function<void(reg::TRegistry&)>& write) {
        reg::TRegistry r;
        ASSERT_TRUE(r.OpenKey(key, true));
        write(r);
    }

    QTemporaryDir dir_;
};

TEST_F(VersionTest, ProgramKeyComesFromTheExecutableName) {
    struct Case {
        const char* exe;
        const char* key;
    };
    const Case cases[] = {
        {"/x/Abc.exe", "Abc"},
        {"C:/x/abc.EXE", "abc"},
        {"/x/doskar.exe", "TALVEN"},
        {"/x/DOSKAR.EXE", "TALVEN"},
        {"/x/Doskar.exe", "TALVEN"},
        {"/x/dOsKaR", "TALVEN"},
        {"/x/doskar2.exe", "doskar2"},
        {"/x/doskar.old.exe", "doskar.old"},
        {"/usr/bin/importaguias", "importaguias"},
        {"/x/.exe", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        exe(QString::fromUtf8(c.exe));
        EXPECT_EQ(programa(), QString::fromUtf8(c.key));
    }
}

TEST_F(VersionTest, ValuesGoUnderTheProgramKeyAndReadBack) {
    struct Case {
        const char* exe;
        const char* key;
    };
    const Case cases[] = {
        {"/x/doskar.exe", "Software\\Vexalon\\TALVEN"},
        {"/x/DOSKAR.EXE", "Software\\Vexalon\\TALVEN"},
        {"/x/Doskar.exe", "Software\\Vexalon\\TALVEN"},
        {"/x/doskar2.exe", "Software\\Vexalon\\doskar2"},
        {"/x/Abc.exe", "Software\\Vexalon\\Abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        QFile::remove(hivePath());
        exe(QString::fromUtf8(c.exe));
        set_key_value_CURRENT_USER(QStringLiteral("texto"), QStringLiteral("C:\\html\\"));
        set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), -7);
        QString s;
        std::int32_t i = 0;
        get_key_value_CURRENT_USER(QStringLiteral("TEXTO"), s);
        get_key_value_CURRENT_USER(QStringLiteral("no_valido_vol"), i);
        EXPECT_EQ(s, QStringLiteral("C:\\html\\"));
        EXPECT_EQ(i, -7);
        EXPECT_EQ(storedKeys().last(), QString::fromUtf8(c.key));
        reg::TRegistry r;
        ASSERT_TRUE(r.OpenKey(QString::fromUtf8(c.key), false));
        EXPECT_EQ(r.GetDataType(QStringLiteral("texto")), 1u);
        EXPECT_EQ(r.GetDataType(QStringLiteral("NO_VALIDO_VOL")), 4u);
    }
}

TEST_F(VersionTest, FirstStartStoresFdcOnceAndLaterFindsIt) {
    EXPECT_EQ(doy_acceso_a_datos(), QStringLiteral("FDC"));
    reg::TRegistry r;
    ASSERT_TRUE(r.OpenKey(QStringLiteral("Software\\Vexalon\\Abc"), false));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("FDC"));
    EXPECT_EQ(r.GetDataType(QStringLiteral("DBD")), 1u);

    const ino_t inode = hiveInode();
    const QByteArray bytes = hiveBytes();
    EXPECT_EQ(doy_acceso_a_datos(), QStringLiteral("FDC"));
    EXPECT_EQ(hiveInode(), inode) << "the second call rewrote the hive";
    EXPECT_EQ(hiveBytes(), bytes);
}

TEST_F(VersionTest, StoredAccessKindIsReturnedAsIs) {
    struct Case {
        const char* stored;
        const char* returned;
    };
    const Case cases[] = {{"", "FDC"}, {"fdc", "fdc"}, {"ADO", "ADO"}, {"otra cosa", "otra cosa"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        put(QStringLiteral("Software\\Vexalon\\Abc"),
            [&](reg::TRegistry& r) { r.WriteString(QStringLiteral("DBD"), QString::fromUtf8(c.stored)); });
        EXPECT_EQ(doy_acceso_a_datos(), QString::fromUtf8(c.returned));
        QString now;
        get_key_value_CURRENT_USER(QStringLiteral("DBD"), now);
        EXPECT_EQ(now, QString::fromUtf8(c.returned));
    }
}

TEST_F(VersionTest, AccessKindStoredAsDwordRaisesAndStoresNothing) {
    put(QStringLiteral("Software\\Vexalon\\Abc"), [](reg::TRegistry& r) { r.WriteInteger(QStringLiteral("DBD"), 1); });
    const QByteArray bytes = hiveBytes();
    try {
        doy_acceso_a_datos();
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("\"DBD\""))) << e.what();
    }
    EXPECT_EQ(hiveBytes(), bytes);
}

TEST_F(VersionTest, IntegerReaderGivesZeroForEverythingButADword) {
    put(QStringLiteral("Software\\Vexalon\\Abc"), [](reg::TRegistry& r) {
        r.WriteString(QStringLiteral("comoTexto"), QStringLiteral("1"));
        r.WriteExpandString(QStringLiteral("expandido"), QStringLiteral("1"));
        r.WriteInteger(QStringLiteral("bien"), 5);
    });
    struct Case {
        const char* name;
        std::int32_t expected;
    };
    const Case cases[] = {{"comoTexto", 0}, {"expandido", 0}, {"ausente", 0}, {"bien", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t v = 99;
        get_key_value_CURRENT_USER(QString::fromUtf8(c.name), v);
        EXPECT_EQ(v, c.expected);
    }
    QString s = QStringLiteral("x");
    get_key_value_CURRENT_USER(QStringLiteral("expandido"), s);
    EXPECT_EQ(s, QStringLiteral("1"));
}

TEST_F(VersionTest, ReadersLeaveAnAbsentKeyAbsent) {
    put(QStringLiteral("Software\\Vexalon\\Otro"), [](reg::TRegistry& r) { r.WriteInteger(QStringLiteral("DESA"), 1); });
    std::int32_t i = 99;
    QString s = QStringLiteral("x");
    get_key_value_CURRENT_USER(QStringLiteral("DESA"), i);
    get_key_value_CURRENT_USER(QStringLiteral("DBD"), s);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(s, QString());
    EXPECT_FALSE(reg::TRegistry().KeyExists(QStringLiteral("Software\\Vexalon\\Abc")));
}

TEST_F(VersionTest, WithoutAHiveFileReadersCreateNone) {
    std::int32_t i = 99;
    QString s = QStringLiteral("x");
    get_key_value_CURRENT_USER(QStringLiteral("DESA"), i);
    get_key_value_CURRENT_USER(QStringLiteral("DBD"), s);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(s, QString());
    EXPECT_FALSE(QFile::exists(hivePath()));
}

TEST_F(VersionTest, EmptyProgramKey) {
    exe(QStringLiteral("/x/.exe"));
    put(QStringLiteral("Software\\Vexalon"), [](reg::TRegistry& r) {
        r.WriteInteger(QStringLiteral("DESA"), 1);
        r.WriteString(QStringLiteral("DBD"), QStringLiteral("ADO"));
    });
    const QByteArray bytes = hiveBytes();
    set_key_value_CURRENT_USER(QStringLiteral("nuevo"), QStringLiteral("x"));
    set_key_value_CURRENT_USER(QStringLiteral("nuevo2"), 3);
    EXPECT_EQ(hiveBytes(), bytes) << "a writer wrote with an empty program key";

    std::int32_t i = 0;
    get_key_value_CURRENT_USER(QStringLiteral("DESA"), i);
    EXPECT_EQ(i, 1);  // read from Software\Vexalon itself
    QString s = QStringLiteral("x");
    get_key_value_CURRENT_USER(QStringLiteral("DBD"), s);
    EXPECT_EQ(s, QString());

    // doy_acceso_a_datos reads nothing and stores nothing, but still answers.
    EXPECT_EQ(doy_acceso_a_datos(), QStringLiteral("FDC"));
    EXPECT_EQ(hiveBytes(), bytes);
}

TEST_F(VersionTest, SettingsThatCannotBeStoredAreSkippedSilently) {
    // A plain file where the settings folder belongs: no key can be made
    // (and, unlike a read-only folder, this holds for root as well).
    {
        QFile f(dir_.path() + QStringLiteral("/vexalon"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const char* exeName : {"/x/Abc.exe", "/x/doskar.exe"}) {
        SCOPED_TRACE(exeName);
        exe(QString::fromUtf8(exeName));
        EXPECT_NO_THROW(set_key_value_CURRENT_USER(QStringLiteral("texto"), QStringLiteral("x")));
        EXPECT_NO_THROW(set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), 1));
        QString dbd;
        EXPECT_NO_THROW(dbd = doy_acceso_a_datos());
        EXPECT_EQ(dbd, QStringLiteral("FDC"));
        std::int32_t i = 99;
        get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), i);
        EXPECT_EQ(i, 0);
        QString s = QStringLiteral("x");
        get_key_value_CURRENT_USER(QStringLiteral("texto"), s);
        EXPECT_EQ(s, QString());
    }
}

TEST_F(VersionTest, CorruptHiveIsReportedAndKept) {
    QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
    const QByteArray corrupt = QByteArrayLiteral("esto no es un registro\n");
    {
        QFile f(hivePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(corrupt);
    }
    try {
        doy_acceso_a_datos();
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(hivePath())) << e.what();
    }
    EXPECT_THROW(set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), 1), ERegistryException);
    std::int32_t i = 99;
    get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), i);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(hiveBytes(), corrupt);
}

TEST_F(VersionTest, HandWrittenSettingsAreReadAndKept) {
    // As a person writes it: single backslashes, a Windows path, comments.
    QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
    {
        QFile f(hivePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("VEXALON REGISTRY Version 1\n"
                "; acceso por ADO, sin validar volumen\n"
                "[Software\\Vexalon\\Abc]\n"
                "\"DBD\"=\"ADO\"\n"
                "\"NO_VALIDO_VOL\"=dword:00000001\n"
                "\"Dir\"=\"C:\\temp\"\n");
    }
    EXPECT_EQ(doy_acceso_a_datos(), QStringLiteral("ADO"));
    std::int32_t i = 0;
    get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), i);
    EXPECT_EQ(i, 1);
    QString dir;
    get_key_value_CURRENT_USER(QStringLiteral("Dir"), dir);
    EXPECT_EQ(dir, QStringLiteral("C:\\temp"));

    set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), 0);
    EXPECT_EQ(hiveBytes(), QByteArrayLiteral("VEXALON REGISTRY Version 1\n"
                                             "; acceso por ADO, sin validar volumen\n"
                                             "[Software\\\\Vexalon\\\\Abc]\n"
                                             "\"DBD\"=\"ADO\"\n"
                                             "\"NO_VALIDO_VOL\"=dword:00000000\n"
                                             "\"Dir\"=\"C:\\\\temp\"\n"));
}

TEST_F(VersionTest, UnwritableFolderIsSkippedSilentlyWhetherOrNotTheKeyExists) {
    int shown = 0;
    for (const bool keyExists : {false, true}) {
        for (const auto how : {vextest::Unwritable::LockIsAFolder, vextest::Unwritable::ImmutableFolder,
                               vextest::Unwritable::ReadOnlyFolder}) {
            SCOPED_TRACE(std::string(vextest::nameOf(how)) + (keyExists ? ", key exists" : ", no key"));
            QFile::remove(hivePath());
            put(QStringLiteral("Software\\Vexalon\\Otro"), [](reg::TRegistry& r) { r.WriteInteger(QStringLiteral("DESA"), 1); });
            if (keyExists) {
                put(QStringLiteral("Software\\Vexalon\\Abc"),
                    [](reg::TRegistry& r) { r.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), 1); });
            }
            const QByteArray before = hiveBytes();
            const vextest::UnwritableFolder fault(hivePath(), how);
            if (!fault.applied()) continue;
            ++shown;
            // Start-up: no "DBD" yet, so the default is stored, or would be.
            QString dbd;
            EXPECT_NO_THROW(dbd = doy_acceso_a_datos());
            EXPECT_EQ(dbd, QStringLiteral("FDC"));
            EXPECT_NO_THROW(set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), 0));
            EXPECT_NO_THROW(set_key_value_CURRENT_USER(QStringLiteral("texto"), QStringLiteral("x")));
            std::int32_t i = 99;
            get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), i);
            EXPECT_EQ(i, keyExists ? 1 : 0);
            EXPECT_EQ(hiveBytes(), before);
        }
    }
    EXPECT_GE(shown, 2);
}

TEST_F(VersionTest, UnreadableSettingsGiveEmptyTextAndZero) {
    for (const auto how : {vextest::Unreadable::FolderInItsPlace, vextest::Unreadable::Fifo,
                           vextest::Unreadable::NoPermission}) {
        SCOPED_TRACE(vextest::nameOf(how));
        put(QStringLiteral("Software\\Vexalon\\Abc"), [](reg::TRegistry& r) {
            r.WriteString(QStringLiteral("DBD"), QStringLiteral("ADO"));
            r.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), 1);
        });
        if (!vextest::makeUnreadable(hivePath(), how)) continue;  // root passes permission bits
        struct stat before{};
        ASSERT_EQ(::lstat(QFile::encodeName(hivePath()).constData(), &before), 0);
        QString s = QStringLiteral("x");
        EXPECT_NO_THROW(get_key_value_CURRENT_USER(QStringLiteral("DBD"), s));
        EXPECT_EQ(s, QString());
        std::int32_t i = 99;
        get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), i);
        EXPECT_EQ(i, 0);
        QString dbd;
        EXPECT_NO_THROW(dbd = doy_acceso_a_datos());
        EXPECT_EQ(dbd, QStringLiteral("FDC"));
        EXPECT_NO_THROW(set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), 0));
        struct stat after{};
        ASSERT_EQ(::lstat(QFile::encodeName(hivePath()).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "the unreadable file was replaced";
        EXPECT_EQ(after.st_mode, before.st_mode);
        QDir(hivePath()).removeRecursively();
        QFile::remove(hivePath());
    }
}

// get_ini and the program's default INI file.
class GetIniTest : public VersionTest {
protected:
    void writeIni(const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(GetIniTest, DefaultFileIsNamedAfterTheProgramInWindir) {
    struct Case {
        const char* windir;  // nullptr: unset
        const char* exe;
        const char* file;
    };
    const Case cases[] = {
        {"/win", "/opt/x/Abc.exe", "/win/Abc.ini"},
        {"/win/", "/opt/x/Abc.exe", "/win/Abc.ini"},
        {"/win", "/opt/x/doskar.exe", "/win/doskar.ini"},  // the DOSKAR rule is for the registry only
        {"/win", "/usr/bin/importaguias", "/win/importaguias.ini"},
        {"/win", "/x/a.b.exe", "/win/a.b.ini"},
        {nullptr, "/opt/x/Abc.exe", "/Abc.ini"},
        {"", "/opt/x/Abc.exe", "/Abc.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        if (c.windir == nullptr) {
            unsetenv("WINDIR");
        } else {
            setenv("WINDIR", c.windir, 1);
        }
        exe(QString::fromUtf8(c.exe));
        EXPECT_EQ(ini_del_programa(), QString::fromUtf8(c.file));
    }
}

TEST_F(GetIniTest, ReadsTheEntryOfTheDefaultOrAGivenFile) {
    setenv("WINDIR", QFile::encodeName(dir_.path()).constData(), 1);
    writeIni(dir_.path() + QStringLiteral("/Abc.ini"),
             QByteArrayLiteral("[CONFIGURACION]\r\nHTMLDIR = C:\\html\\ \r\n"));
    writeIni(dir_.path() + QStringLiteral("/otro.cfg"), QByteArrayLiteral("[g]\nk=v\n"));
    EXPECT_EQ(get_ini(QString(), QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR")),
              QStringLiteral("C:\\html\\"));
    EXPECT_EQ(get_ini(QString(), QStringLiteral("configuracion"), QStringLiteral("htmldir")),
              QStringLiteral("C:\\html\\"));
    EXPECT_EQ(get_ini(QString(), QStringLiteral("CONFIGURACION"), QStringLiteral("OTRA")), QString());
    EXPECT_EQ(get_ini(QString(), QStringLiteral("OTRO"), QStringLiteral("HTMLDIR")), QString());
    EXPECT_EQ(get_ini(dir_.path() + QStringLiteral("/otro.cfg"), QStringLiteral("G"), QStringLiteral("K")),
              QStringLiteral("v"));
    exe(QStringLiteral("/x/sinini.exe"));
    EXPECT_EQ(get_ini(QString(), QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR")), QString());
}

}  // namespace
