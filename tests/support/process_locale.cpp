#include "tests/support/process_locale.h"

#include <cstdlib>

namespace vextest {

namespace {

std::optional<std::string> env(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr) return std::nullopt;
    return std::string(v);
}

void restoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

}  // namespace

ProcessLocale::ProcessLocale(const char* name) {
    savedLocale_ = std::setlocale(LC_ALL, nullptr);
    savedLcAll_ = env("LC_ALL");
    savedLocpath_ = env("LOCPATH");
    setenv("LOCPATH", VEX_TEST_LOCPATH, 1);
    setenv("LC_ALL", name, 1);
    ok_ = std::setlocale(LC_ALL, "") != nullptr;
    if (!ok_) {
        restoreEnv("LC_ALL", savedLcAll_);
        restoreEnv("LOCPATH", savedLocpath_);
        std::setlocale(LC_ALL, savedLocale_.c_str());
    }
}

ProcessLocale::~ProcessLocale() {
    if (!ok_) return;
    restoreEnv("LC_ALL", savedLcAll_);
    restoreEnv("LOCPATH", savedLocpath_);
    std::setlocale(LC_ALL, savedLocale_.c_str());
}

CNumericForThisThread::CNumericForThisThread() {
    const locale_t current = uselocale(static_cast<locale_t>(nullptr));
    const locale_t copy = duplocale(current);
    if (copy == static_cast<locale_t>(nullptr)) return;
    mine_ = newlocale(LC_NUMERIC_MASK, "C", copy);
    if (mine_ == static_cast<locale_t>(nullptr)) {
        freelocale(copy);
        return;
    }
    previous_ = uselocale(mine_);
}

CNumericForThisThread::~CNumericForThisThread() {
    if (mine_ == static_cast<locale_t>(nullptr)) return;
    uselocale(previous_);
    freelocale(mine_);
}

bool adoptEnvironmentLocale(std::string& why) {
    const char* taken = std::setlocale(LC_ALL, "");
    const std::optional<std::string> asked = env("LC_ALL");
    if (!asked || asked->empty()) return true;
    if (taken != nullptr && *asked == taken) return true;
    const std::optional<std::string> locpath = env("LOCPATH");
    why = "the process locale could not be set to LC_ALL=" + *asked + " (LOCPATH=" +
          locpath.value_or("unset") + "); the tests of this run would not run under it";
    return false;
}

}  // namespace vextest
