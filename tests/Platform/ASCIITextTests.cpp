#include "Platform/Foundation/ASCIIText.h"

#include <gtest/gtest.h>

namespace qor::platform {
namespace {

TEST(ASCIIText, TrimsOnlyTheGivenCharactersAtTheEnds) {
  EXPECT_EQ(trimmed(" \t a b \r\n"), "a b");
  EXPECT_EQ(trimmed(" \r\n\t "), "");
  EXPECT_EQ(trimmed(""), "");
  EXPECT_EQ(trimmed("\r\n value \t", " \t"), "\r\n value");
}

TEST(ASCIIText, CaseFoldingLeavesNonASCIIBytesAlone) {
  EXPECT_EQ(lowercasedASCII("Text/HTML; Charset=UTF-8"), "text/html; charset=utf-8");
  EXPECT_EQ(lowercasedASCII("\xC3\x89T\xC3\x89"), "\xC3\x89t\xC3\x89");
  EXPECT_TRUE(equalsIgnoringASCIICase("Content-Length", "content-LENGTH"));
  EXPECT_FALSE(equalsIgnoringASCIICase("Content-Length", "Content-Lengt"));
  EXPECT_FALSE(equalsIgnoringASCIICase("\xC3\x89", "\xC3\xA9"));
}

}  // namespace
}  // namespace qor::platform
