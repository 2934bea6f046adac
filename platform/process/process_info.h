// What the program knows about its own process: the running executable's
// path (the platform's Application.ExeName) and the processor architecture.
#pragma once

#include <QString>

namespace proc {

// The running executable's full path. Tests may set another with
// setExeNameForTesting(); an empty text restores the real one.
QString ExeName();
void setExeNameForTesting(const QString& path);

// The machine's native processor architecture in the platform's numbering:
// 9 for x86-64, 12 for ARM64, 6 for IA-64, 0 for 32-bit x86, 0xFFFF when
// unknown. Read from uname(), so a 32-bit build on a 64-bit kernel sees 9.
int NativeProcessorArchitecture();

// Whether this is a 32-bit process on a 64-bit machine (the IsWow64Process
// question): a process with 4-byte pointers on a kernel that reports a
// 64-bit machine.
bool IsWow64Process();

}  // namespace proc
