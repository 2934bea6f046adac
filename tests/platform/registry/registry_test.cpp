#include "platform/registry/registry.h"

#include "tests/platform/registry/settings_faults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <sys/file.h>
#include <thread>
#include <memory>
#include <new>
#include <stdexcept>
#include <fcntl.h>
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
    // Written on Windows, with single backslashes.
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\r\n[Software\\Vexalon\\abc]\r\n"
                                "\"DBD\"=\"ADO\"\r\n\"DESA\"=dword:1\r\n\"Dir\"=\"C:\\temp\\\"\r\n"));
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, false));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("ADO"));
    EXPECT_EQ(r.ReadInteger(QStringLiteral("DESA")), 1);
    EXPECT_EQ(r.ReadString(QStringLiteral("Dir")), QStringLiteral("C:\\temp\\"));
}

TEST_F(RegistryTest, RewriteKeepsEverySectionWhereItStood) {
    // By hand: a subkey before its parent, the program's key in two sections
    // with another program's key and comments between them, time stamps.
    writeHive(QByteArrayLiteral(R"(VEXALON REGISTRY Version 1
;; settings by hand

[Software\Vexalon\importaguias\sub] 1700000003
"x"=dword:00000001

; the program's key, after its subkey
[Software\Vexalon\importaguias] 1700000001
"DBD"="ADO"

;; another program between the two sections
[Software\\Vexalon\\TALVEN] 1700000002
"DBD"="FDC"

; the same key again, by hand
[software\vexalon\IMPORTAGUIAS] 1700000004
# desa on
"DESA"=dword:00000001
"NO_VALIDO_VOL"=dword:00000000
; end
)"));
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(QStringLiteral("Software\\Vexalon\\importaguias"), true));
    r.WriteInteger(QStringLiteral("no_valido_vol"), 1);         // stays in the second section
    r.WriteInteger(QStringLiteral("modifica_operaciones"), 1);  // new: into the first
    TRegistry n;
    ASSERT_TRUE(n.OpenKey(QStringLiteral("Software\\Vexalon\\nuevo"), true));
    n.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));  // a new key: at the end
    EXPECT_EQ(hiveBytes().toStdString(), std::string(R"(VEXALON REGISTRY Version 1
;; settings by hand

[Software\\Vexalon\\importaguias\\sub] 1700000003
"x"=dword:00000001

; the program's key, after its subkey
[Software\\Vexalon\\importaguias] 1700000001
"DBD"="ADO"
"modifica_operaciones"=dword:00000001

;; another program between the two sections
[Software\\Vexalon\\TALVEN] 1700000002
"DBD"="FDC"

; the same key again, by hand
[Software\\Vexalon\\importaguias] 1700000004
# desa on
"DESA"=dword:00000001
"NO_VALIDO_VOL"=dword:00000001

[Software\\Vexalon\\nuevo]
"DBD"="FDC"
; end
)"));
    // Read again, it holds what was written.
    TRegistry back;
    ASSERT_TRUE(back.OpenKey(QStringLiteral("Software\\Vexalon\\importaguias"), false));
    EXPECT_EQ(back.ReadInteger(QStringLiteral("NO_VALIDO_VOL")), 1);
    EXPECT_EQ(back.ReadInteger(QStringLiteral("modifica_operaciones")), 1);
    EXPECT_EQ(back.ReadInteger(QStringLiteral("DESA")), 1);
    EXPECT_EQ(back.ReadString(QStringLiteral("DBD")), QStringLiteral("ADO"));
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

// Another program holds the settings lock and does not let go.
class LockHolder {
public:
    explicit LockHolder(const QString& lockPath)
        : fd_(::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
    }
    ~LockHolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

TEST_F(RegistryTest, AFileFarPastTheSizeBoundIsReportedAndNeverRewritten) {
    // 93 MB of ordinary keys, as years of programs might leave.
    QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
    {
        QFile f(hivePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("VEXALON REGISTRY Version 1\n");
        QByteArray chunk;
        for (int i = 0; chunk.size() < 1000 * 1000; ++i)
            chunk += QStringLiteral("\n[Software\\\\Vexalon\\\\p%1]\n\"DBD\"=\"FDC\"\n").arg(i).toUtf8();
        for (int i = 0; i < 93; ++i) ASSERT_EQ(f.write(chunk), chunk.size());
    }
    struct stat before{};
    ASSERT_EQ(::stat(QFile::encodeName(hivePath()).constData(), &before), 0);
    for (const bool create : {false, true}) {
        SCOPED_TRACE(create);
        try {
            TRegistry().OpenKey(kKey, create);
            ADD_FAILURE() << "opened";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(hivePath())) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("dañado (línea "))) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("pasa de %1 MiB").arg(reg::kMaxFileBytes >> 20)))
                << e.what();
        }
    }
    EXPECT_THROW(reg::HiveFile(hivePath()).update([](reg::Hive&) { return true; }), ERegistryException);
    struct stat after{};
    ASSERT_EQ(::stat(QFile::encodeName(hivePath()).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(RegistryTest, EveryWriteThatWaitsOutTheLockEndsWithAClearError) {
    TRegistry().OpenKey(kKey, true);
    const QByteArray before = hiveBytes();
    const auto wait = std::chrono::milliseconds(200);
    struct Case {
        const char* what;
        std::function<void()> write;
    };
    const Case cases[] = {
        // The first start's "DBD" = "FDC" creates the program's key.
        {"creating a key", [&] { TRegistry(hivePath(), wait).OpenKey(QStringLiteral("Software\\Vexalon\\nuevo"), true); }},
        {"writing a text", [&] {
             TRegistry r(hivePath(), wait);
             ASSERT_TRUE(r.OpenKey(kKey, true));
             r.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
         }},
        {"writing an integer", [&] {
             TRegistry r(hivePath(), wait);
             ASSERT_TRUE(r.OpenKey(kKey, false));
             r.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), 1);
         }},
        {"changing the file", [&] {
             reg::HiveFile(hivePath(), wait).update([](reg::Hive& h) {
                 h.ensureKey(QStringLiteral("Otra"));
                 return true;
             });
         }},
    };
    const LockHolder holder(hivePath() + QStringLiteral(".lock"));
    ASSERT_TRUE(holder.held());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.write();
            ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(hivePath() + QStringLiteral(".lock"))) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("otro programa"))) << e.what();
        }
        EXPECT_EQ(hiveBytes(), before);
    }
    // Reading needs no lock.
    EXPECT_TRUE(TRegistry().KeyExists(kKey));
    EXPECT_FALSE(TRegistry().KeyExists(QStringLiteral("Software\\Vexalon\\nuevo")));
}

TEST_F(RegistryTest, ALockLetGoWithinTheWaitIsTaken) {
    QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
    auto holder = std::make_unique<LockHolder>(hivePath() + QStringLiteral(".lock"));
    ASSERT_TRUE(holder->held());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder.reset();
    });
    TRegistry r(hivePath(), std::chrono::milliseconds(5000));
    const bool opened = r.OpenKey(kKey, true);
    release.join();
    ASSERT_TRUE(opened);
    EXPECT_TRUE(TRegistry().KeyExists(kKey));
}

TEST_F(RegistryTest, NamesPastThePlatformsBoundsAreNotStored) {
    TRegistry w;
    ASSERT_TRUE(w.OpenKey(kKey, true));
    w.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
    const QByteArray before = hiveBytes();
    const QString longName = QString(reg::kMaxKeyName + 1, u'k');
    QString deep = QStringLiteral("Software");
    for (qsizetype i = 1; i < reg::kMaxKeyDepth + 1; ++i) deep += QStringLiteral("\\n");
    // A key the file cannot hold is one that cannot be created.
    EXPECT_FALSE(TRegistry().OpenKey(QStringLiteral("Software\\") + longName, true));
    EXPECT_FALSE(TRegistry().OpenKey(deep, true));
    EXPECT_FALSE(TRegistry().KeyExists(QStringLiteral("Software\\") + longName));
    // At the bounds they are.
    QString deepest = QStringLiteral("Software");
    for (qsizetype i = 1; i < reg::kMaxKeyDepth; ++i) deepest += QStringLiteral("\\n");
    EXPECT_TRUE(TRegistry().OpenKey(deepest, true));
    EXPECT_TRUE(TRegistry().OpenKey(QStringLiteral("Software\\") + QString(reg::kMaxKeyName, u'k'), true));
    const QByteArray atBounds = hiveBytes();
    EXPECT_NE(atBounds, before);

    // A value name past its bound is refused naming the key.
    try {
        w.WriteInteger(QString(reg::kMaxValueName + 1, u'v'), 1);
        ADD_FAILURE() << "stored";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(QString::number(reg::kMaxValueName))) << e.what();
        EXPECT_TRUE(e.message().contains(kKey)) << e.what();
    }
    EXPECT_EQ(hiveBytes(), atBounds);
    w.WriteInteger(QString(reg::kMaxValueName, u'v'), 1);
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, false));
    EXPECT_EQ(r.ReadInteger(QString(reg::kMaxValueName, u'V')), 1);
}

TEST_F(RegistryTest, AWriteThatWouldPassTheSizeBoundIsRefusedAndTheFileKept) {
    TRegistry w;
    ASSERT_TRUE(w.OpenKey(kKey, true));
    w.WriteString(QStringLiteral("DBD"), QStringLiteral("FDC"));
    const QByteArray before = hiveBytes();
    try {
        w.WriteString(QStringLiteral("Grande"), QString(reg::kMaxFileBytes, u'x'));
        ADD_FAILURE() << "stored";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.message().contains(hivePath())) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("%1 MiB").arg(reg::kMaxFileBytes >> 20))) << e.what();
    }
    EXPECT_EQ(hiveBytes(), before);
    EXPECT_EQ(w.ReadString(QStringLiteral("Grande")), QString());
    // Just under the bound it is stored, and read back.
    const QString big(reg::kMaxFileBytes - before.size() - 64, u'x');
    w.WriteString(QStringLiteral("Grande"), big);
    EXPECT_EQ(w.ReadString(QStringLiteral("Grande")), big);
}

TEST_F(RegistryTest, NoOtherExceptionLeavesAChange) {
    TRegistry().OpenKey(kKey, true);
    const QByteArray before = hiveBytes();
    struct Case {
        const char* what;
        std::function<void()> fail;
        QString said;
    };
    const Case cases[] = {
        {"memory running out", [] { throw std::bad_alloc(); }, QStringLiteral("memoria")},
        {"a container refusing to grow", [] { throw std::length_error("vector::_M_realloc_insert"); },
         QStringLiteral("vector::_M_realloc_insert")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            reg::HiveFile(hivePath()).update([&](reg::Hive&) -> bool {
                c.fail();
                return true;
            });
            ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.message().contains(hivePath())) << e.what();
            EXPECT_TRUE(e.message().contains(c.said)) << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "other exception: " << e.what();
        }
        EXPECT_EQ(hiveBytes(), before);
    }
}

TEST_F(RegistryTest, UnreadableHiveOpensNoKeyAndStaysAsItIs) {
    for (const auto how : {vextest::Unreadable::FolderInItsPlace, vextest::Unreadable::Fifo,
                           vextest::Unreadable::NoPermission}) {
        SCOPED_TRACE(vextest::nameOf(how));
        TRegistry().OpenKey(kKey, true);
        if (!vextest::makeUnreadable(hivePath(), how)) continue;  // root passes permission bits
        struct stat before{};
        ASSERT_EQ(::lstat(QFile::encodeName(hivePath()).constData(), &before), 0);
        TRegistry r;
        EXPECT_FALSE(r.KeyExists(kKey));
        EXPECT_FALSE(r.OpenKey(kKey, false));
        EXPECT_FALSE(r.OpenKey(kKey, true));
        EXPECT_FALSE(r.OpenKey(QStringLiteral("Software\\Nueva"), true));
        struct stat after{};
        ASSERT_EQ(::lstat(QFile::encodeName(hivePath()).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        // The file itself can be read and written again.
        QDir(hivePath()).removeRecursively();
        QFile::remove(hivePath());
    }
}

TEST_F(RegistryTest, UnwritableFolderOpensNoKeyForWritingWhetherOrNotItExists) {
    TRegistry w;
    ASSERT_TRUE(w.OpenKey(kKey, true));
    w.WriteString(QStringLiteral("DBD"), QStringLiteral("ADO"));
    const QByteArray before = hiveBytes();
    int shown = 0;
    for (const auto how : {vextest::Unwritable::LockIsAFolder, vextest::Unwritable::ImmutableFolder,
                           vextest::Unwritable::ReadOnlyFolder}) {
        SCOPED_TRACE(vextest::nameOf(how));
        const vextest::UnwritableFolder fault(hivePath(), how);
        if (!fault.applied()) continue;
        ++shown;
        EXPECT_FALSE(TRegistry().OpenKey(kKey, true)) << "existing key";
        EXPECT_FALSE(TRegistry().OpenKey(QStringLiteral("Software\\Vexalon\\otro"), true)) << "new key";
        // Reading still works, without the lock.
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kKey, false));
        EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("ADO"));
        EXPECT_EQ(hiveBytes(), before);
    }
    EXPECT_GE(shown, 1);
}

TEST_F(RegistryTest, TemporaryFilesOfAKilledWriterAreRemovedByTheNextWrite) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, true));
    const QString folder = dir_.path() + QStringLiteral("/vexalon/");
    // What a writer leaves when it dies between creating and renaming.
    for (const char* name : {"registry.reg.tmp-a1B2c3", "registry.reg.tmp-ZZZZZZ"}) {
        QFile f(folder + QString::fromUtf8(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("VEXALON REGISTRY Version 1\n[A]\n");
    }
    // A person's own files beside it stay.
    const QStringList own = {QStringLiteral("registry.reg.backup"), QStringLiteral("registry.reg.tmp-copia1.txt"),
                             QStringLiteral("otro.reg.tmp-a1B2c3")};
    for (const QString& name : own) {
        QFile f(folder + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    r.WriteInteger(QStringLiteral("X"), 1);
    QStringList expected = own;
    expected << QStringLiteral("registry.reg") << QStringLiteral("registry.reg.lock");
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
}

TEST_F(RegistryTest, HiveThatIsASymbolicLinkIsWrittenThroughToItsTarget) {
    struct Case {
        const char* what;
        QString link;  // what the link says
        QString target;
        bool targetExists;
    };
    const QString real = dir_.path() + QStringLiteral("/real");
    const Case cases[] = {
        {"relative link", QStringLiteral("../real/mine.reg"), real + QStringLiteral("/mine.reg"), true},
        {"absolute link, target missing", real + QStringLiteral("/new.reg"), real + QStringLiteral("/new.reg"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(real).removeRecursively();
        QFile::remove(hivePath());
        ASSERT_TRUE(QDir().mkpath(real));
        QDir().mkpath(dir_.path() + QStringLiteral("/vexalon"));
        if (c.targetExists) {
            QFile f(c.target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("VEXALON REGISTRY Version 1\n[Software\\Vexalon\\abc]\n\"DBD\"=\"ADO\"\n");
        }
        ASSERT_EQ(::symlink(QFile::encodeName(c.link).constData(), QFile::encodeName(hivePath()).constData()), 0);

        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kKey, true));
        r.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), 1);

        EXPECT_EQ(QFileInfo(hivePath()).symLinkTarget(), c.target);
        EXPECT_EQ(QFile::symLinkTarget(hivePath()), c.target);
        TRegistry back;
        ASSERT_TRUE(back.OpenKey(kKey, false));
        EXPECT_EQ(back.ReadInteger(QStringLiteral("NO_VALIDO_VOL")), 1);
        EXPECT_EQ(back.ReadString(QStringLiteral("DBD")), c.targetExists ? QStringLiteral("ADO") : QString());
        struct stat st{};
        ASSERT_EQ(::lstat(QFile::encodeName(c.target).constData(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        // No temporary file left in either folder.
        EXPECT_TRUE(QDir(real).entryList({QStringLiteral("*.tmp-*")}, QDir::Files).isEmpty());
        EXPECT_TRUE(QDir(dir_.path() + QStringLiteral("/vexalon")).entryList({QStringLiteral("*.tmp-*")}, QDir::Files).isEmpty());
    }
}

TEST_F(RegistryTest, ReadersSeeEveryChangeOfTheFile) {
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\abc]\n\"DBD\"=\"ADO\"\n"));
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, false));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("ADO"));
    // Rewritten in place, same size, within the same clock tick.
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\abc]\n\"DBD\"=\"SQL\"\n"));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("SQL"));
    // Damaged, then mended: the damage is reported each time, not remembered after.
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\abc]\n\"DBD\"=\"SQL\n"));
    EXPECT_THROW(r.ReadString(QStringLiteral("DBD")), ERegistryException);
    EXPECT_THROW(r.ReadString(QStringLiteral("DBD")), ERegistryException);
    writeHive(QByteArrayLiteral("VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\abc]\n\"DBD\"=\"BDE\"\n"));
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QStringLiteral("BDE"));
    QFile::remove(hivePath());
    EXPECT_EQ(r.ReadString(QStringLiteral("DBD")), QString());
}

}  // namespace
