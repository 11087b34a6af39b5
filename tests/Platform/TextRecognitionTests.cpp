#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/NSError.h"
#include "Platform/Foundation/NumberFormatter.h"
#include "Platform/Foundation/WholeLink.h"

namespace qor::platform {
namespace {

TEST(WholeLink, IsOneAbsoluteLinkWithASchemeAndAHostFromFirstToLastByte) {
    const std::vector<std::pair<std::string, bool>> table = {
        {"https://track.example.test/v?id={{REQUEST_ID}}&p=1", true},
        {"http://example.test", true},
        {"https://user:pw@example.test:8443/a#top", true},
        {"https://[::1]:8080/x", true},
        {"custom+app.v2://host_name/path/\xC3\xA9t\xC3\xA9", true},
        {"HTTPS://EXAMPLE.TEST?q", true},
        {"", false},
        {"example.test/path", false},
        {"www.example.test", false},
        {"mailto:someone@example.test", false},
        {"https://", false},
        {"https:///path", false},
        {"https://-.-/", false},
        {"https://example.test:/", false},
        {"https://example.test:80a/", false},
        {"https://a@b@example.test/", false},
        {"https://exa mple.test/", false},
        {" https://example.test/", false},
        {"https://example.test/ ", false},
        {"https://example.test/a\tb", false},
        {"see https://example.test/", false},
        {"https://example.test/ https://example.test/", false},
        {"1https://example.test/", false},
        {"https://[zz]/", false},
    };
    for (const auto& [text, expected] : table) EXPECT_EQ(isWholeLink(text), expected) << text;
}

TEST(NumberFormatter, ReadsOnlyPlainDecimalsWhateverTheLocale) {
    const NumberFormatter formatter;
    const std::vector<std::pair<std::string, double>> numbers = {{"320", 320}, {"50", 50},  {"0", 0},  {"-12.5", -12.5},
                                                                 {"+7", 7},    {".5", 0.5}, {"5.", 5}, {"0050", 50}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(formatter.number(text), value) << text;
    const std::vector<std::string> refused = {"",    "x",   "320x50", " 50", "50 ", "1,000", "1.000.5", "1e3",
                                              "inf", "nan", "0x10",   "-",   ".",   "--1",   "12,5",    "\u0665"};
    for (const auto& text : refused) EXPECT_EQ(formatter.number(text), std::nullopt) << '"' << text << '"';
}

TEST(NSError, DescribesItselfFromItsUserInfoOrItsDomainAndCode) {
    const NSError described("", 401, AnyDictionary{{NSLocalizedDescriptionKey, "Not found container"}});
    EXPECT_EQ(described.domain(), "");
    EXPECT_EQ(described.code(), 401);
    EXPECT_EQ(described.localizedDescription(), "Not found container");
    EXPECT_EQ(NSError("io.qor", 7).localizedDescription(),
              "The operation couldn\u2019t be completed. (io.qor error 7.)");
}

}  // namespace
}  // namespace qor::platform
