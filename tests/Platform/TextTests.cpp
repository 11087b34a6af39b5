#include "Platform/Foundation/CharacterSet.h"
#include "Platform/Support/ASCIIText.h"

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

// Every text check (JSON writing, percent-encoding, bodies shown to the host) relies on this.
TEST(ASCIIText, ReplacingOccurrencesNeverRescansWhatItPutIn) {
    EXPECT_EQ(replacingOccurrences("a{{X}}b{{X}}", "{{X}}", "1"), "a1b1");
    EXPECT_EQ(replacingOccurrences("{{X}}", "{{X}}", "<{{X}}>"), "<{{X}}>");  // would loop if rescanned
    EXPECT_EQ(replacingOccurrences("{{X}}{{X}}", "{{X}}", ""), "");
    EXPECT_EQ(replacingOccurrences("aaa", "", "b"), "aaa");  // an empty target matches nothing
}

TEST(UTF8, AcceptsWellFormedTextAndRejectsEveryIllFormedKind) {
    EXPECT_TRUE(isValidUTF8(""));
    EXPECT_TRUE(isValidUTF8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"));
    EXPECT_FALSE(isValidUTF8("\xC0\xAF"));          // overlong two-byte form
    EXPECT_FALSE(isValidUTF8("\xE0\x80\xAF"));      // overlong three-byte form
    EXPECT_FALSE(isValidUTF8("\xF0\x80\x80\xAF"));  // overlong four-byte form
    EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(isValidUTF8("ok\xE2\x82"));        // cut short at the end
    EXPECT_FALSE(isValidUTF8("\xE2\x28\xA1"));      // continuation byte missing
    EXPECT_FALSE(isValidUTF8("\x80"));              // stray continuation byte
    EXPECT_FALSE(isValidUTF8("\xFF"));
}

}  // namespace
}  // namespace qor::platform
