// The process locale for tests: the users run under es_UY.UTF-8 (decimal
// comma), which is compiled into the build tree (VEX_TEST_LOCPATH), so no
// test depends on or changes the machine's generated locales.
#pragma once

#include <clocale>
#include <locale.h>
#include <optional>
#include <string>

namespace vextest {

// The users' locale, with its decimal comma.
inline constexpr const char* kCommaLocale = "es_UY.UTF-8";

// For the whole process while it lives: LC_ALL in the environment (so the
// program's own settings, read from the environment, follow it) and the C
// library's locale, with LOCPATH at the build tree's locales. Puts all three
// back when it ends. ok() is false (and nothing changed) when the locale
// cannot be set; tests ASSERT on it.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name = kCommaLocale);
    ~ProcessLocale();
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    std::string savedLocale_;
    std::optional<std::string> savedLcAll_;
    std::optional<std::string> savedLocpath_;
};

// LC_NUMERIC "C" for the calling thread only while it lives (uselocale), for
// third-party writers of test fixtures that print numbers with printf under
// the current locale (libxlsxwriter). The program's own code never needs it.
class CNumericForThisThread {
public:
    CNumericForThisThread();
    ~CNumericForThisThread();
    CNumericForThisThread(const CNumericForThisThread&) = delete;
    CNumericForThisThread& operator=(const CNumericForThisThread&) = delete;

private:
    locale_t mine_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

// For the test mains: takes the locale the environment asks for
// (setlocale(LC_ALL, "")), as the program does at start-up. Returns false with
// `why` when the environment names a locale (LC_ALL) that did not take, so a
// run meant for es_UY never passes silently under C.
bool adoptEnvironmentLocale(std::string& why);

}  // namespace vextest
