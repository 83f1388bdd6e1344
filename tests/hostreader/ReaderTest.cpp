#include <gtest/gtest.h>
#include <kvhost/MayaAscii.h>
TEST(MayaAsciiReader, Placeholder) {}
