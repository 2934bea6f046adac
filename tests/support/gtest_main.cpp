// GoogleTest main for tests without Qt: takes the environment's locale as the
// program does at start-up, and refuses to run when the locale asked for
// (the comma-locale run) did not take.
#include "tests/support/process_locale.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    std::string why;
    const bool listing = argc > 1 && std::strcmp(argv[1], "--gtest_list_tests") == 0;
    if (!vextest::adoptEnvironmentLocale(why) && !listing) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
