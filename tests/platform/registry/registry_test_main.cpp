// GoogleTest main of the registry tests. Run as
//   test_platform_registry --registry-writer NAME COUNT
// it is one of the writer processes of registry_processes_test.cpp instead.
#include <gtest/gtest.h>

#include <cstring>

int registryWriterMain(const char* name, int count);

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--registry-writer") == 0)
        return registryWriterMain(argv[2], std::atoi(argv[3]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
