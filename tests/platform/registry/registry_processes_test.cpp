// Several running programs writing the per-user hive at the same moment.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// One writer process: COUNT values NAME_0 .. NAME_{COUNT-1}, each written
// through its own registry object as a program's settings calls do.
int registryWriterMain(const char* name, int count) {
    try {
        for (int i = 0; i < count; ++i) {
            reg::TRegistry r;
            if (!r.OpenKey(QStringLiteral("Software\\Vexalon\\%1").arg(QString::fromUtf8(name)), true))
                return 2;
            r.WriteInteger(QStringLiteral("v%1").arg(i), i);
            r.WriteString(QStringLiteral("s%1").arg(i), QString::fromUtf8(name));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

namespace {

std::string selfPath() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
}

TEST(RegistryProcesses, ConcurrentWritersKeepEachOthersValues) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()).constData(), 1);

    const std::string exe = selfPath();
    ASSERT_FALSE(exe.empty());
    const int kWriters = 4;
    const int kCount = 40;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        std::string name = "w" + std::to_string(w);
        std::string count = std::to_string(kCount);
        std::string flag = "--registry-writer";
        char* args[] = {const_cast<char*>(exe.c_str()), flag.data(), name.data(), count.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, args, environ), 0);
        pids.push_back(pid);
    }
    for (const pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }

    for (int w = 0; w < kWriters; ++w) {
        reg::TRegistry r;
        const QString name = QStringLiteral("w%1").arg(w);
        ASSERT_TRUE(r.OpenKey(QStringLiteral("Software\\Vexalon\\") + name, false)) << w;
        for (int i = 0; i < kCount; ++i) {
            ASSERT_EQ(r.ReadInteger(QStringLiteral("v%1").arg(i)), i) << name.toStdString();
            ASSERT_EQ(r.ReadString(QStringLiteral("s%1").arg(i)), name);
        }
    }
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
