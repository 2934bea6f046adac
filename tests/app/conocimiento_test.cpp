#include <gtest/gtest.h>
TEST(Conocimiento, Builds) { SUCCEED(); }
