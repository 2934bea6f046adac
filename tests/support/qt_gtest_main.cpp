// GoogleTest main for tests that need Qt: one QApplication for the whole run,
// on the offscreen platform unless the environment chose another. The
// application takes the environment's locale, as the program's does; a run
// whose locale (LC_ALL) did not take refuses to start.
#include "tests/support/process_locale.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const bool listing = argc > 1 && std::strcmp(argv[1], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::string why;
    if (!vextest::adoptEnvironmentLocale(why) && !listing) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
