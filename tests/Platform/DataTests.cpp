#include "Platform/Foundation/Data.h"

#include <gtest/gtest.h>

namespace qor::platform {
namespace {

TEST(Data, RoundTripsTextIncludingNulBytes) {
    const std::string text("a\0b\xff", 4);
    EXPECT_EQ(stringFromData(dataFromString(text)), text);
    EXPECT_EQ(dataFromString(text).size(), 4u);
}

}  // namespace
}  // namespace qor::platform
