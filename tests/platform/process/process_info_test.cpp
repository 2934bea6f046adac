#include "platform/process/process_info.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessInfo, ExeNameIsThisBinaryUnlessOverridden) {
    EXPECT_TRUE(proc::ExeName().endsWith(QStringLiteral("/test_platform_process")));
    proc::setExeNameForTesting(QStringLiteral("/opt/x/DOSKAR.EXE"));
    EXPECT_EQ(proc::ExeName(), QStringLiteral("/opt/x/DOSKAR.EXE"));
    proc::setExeNameForTesting(QString());
    EXPECT_TRUE(proc::ExeName().endsWith(QStringLiteral("/test_platform_process")));
}

TEST(ProcessInfo, ArchitectureOfThisMachine) {
#if defined(__x86_64__)
    EXPECT_EQ(proc::NativeProcessorArchitecture(), 9);
#endif
    // A 64-bit build is never the 32-bit-on-64-bit case.
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(proc::IsWow64Process());
    }
}

}  // namespace
