#include "platform/process/process_info.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/utsname.h>
#include <cstring>

namespace proc {

namespace {
QString& exeOverride() {
    static QString path;
    return path;
}
}  // namespace

QString ExeName() {
    if (!exeOverride().isEmpty()) return exeOverride();
    if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationFilePath();
    // Before the application object exists.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

void setExeNameForTesting(const QString& path) { exeOverride() = path; }

int NativeProcessorArchitecture() {
    utsname u{};
    if (uname(&u) != 0) return 0xFFFF;
    const char* m = u.machine;
    if (std::strcmp(m, "x86_64") == 0) return 9;
    if (std::strcmp(m, "aarch64") == 0 || std::strcmp(m, "arm64") == 0) return 12;
    if (std::strcmp(m, "ia64") == 0) return 6;
    if (m[0] == 'i' && std::strcmp(m + 2, "86") == 0) return 0;
    return 0xFFFF;
}

bool IsWow64Process() {
    const int arch = NativeProcessorArchitecture();
    return sizeof(void*) == 4 && (arch == 9 || arch == 12 || arch == 6);
}

}  // namespace proc
