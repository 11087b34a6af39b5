#include <gtest/gtest.h>

#include "Platform/Foundation/CharacterSet.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLComponents.h"
#include "Platform/Foundation/URLRequest.h"

namespace qor::platform {
namespace {

URL url(std::string_view text) {
    auto parsed = URL::make(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(URL::fileURL("/"));
}

TEST(URLTests, ParsesPiecesAndKeepsTheTextAsWritten) {
    auto parsed = url("https://User:pw@Ads.Example.test:8443/a%20b/c.json?x=1&y=%2F#frag");
    EXPECT_EQ(parsed.absoluteString(), "https://User:pw@Ads.Example.test:8443/a%20b/c.json?x=1&y=%2F#frag");
    EXPECT_EQ(parsed.scheme(), "https");
    EXPECT_EQ(parsed.host(), "Ads.Example.test");
    EXPECT_EQ(parsed.port(), 8443);
    EXPECT_EQ(parsed.user(), "User");
    EXPECT_EQ(parsed.path(), "/a b/c.json");
    EXPECT_EQ(parsed.query(), "x=1&y=%2F");
    EXPECT_EQ(parsed.fragment(), "frag");

    auto bare = url("https://example.com");
    EXPECT_EQ(bare.absoluteString(), "https://example.com");
    EXPECT_EQ(bare.path(), "");
    EXPECT_EQ(bare.port(), std::nullopt);
    EXPECT_EQ(bare.query(), std::nullopt);
    EXPECT_EQ(url("https://example.com/p?").query(), "");
    EXPECT_EQ(url("http://[::1]:8080/").host(), "::1");
    EXPECT_EQ(url("about:blank").scheme(), "about");
}

TEST(URLTests, RefusesTextThatIsNoURL) {
    for (const char* text : {"", "https://exa mple.com/", "https://example.com/a b", "https://example.com:99999/",
                             "https://example.com/%zz", "https://example.com/\xC3\xA4", "https://example.com/<x>",
                             "http://a/#b#c", "1http://x/"}) {
        EXPECT_FALSE(URL::make(text).has_value()) << text;
    }
}

TEST(URLTests, PathHelpers) {
    auto base = url("https://example.com/v1/items/");
    EXPECT_EQ(base.path(), "/v1/items");
    EXPECT_EQ(base.lastPathComponent(), "items");
    EXPECT_EQ(url("https://example.com/").lastPathComponent(), "/");
    EXPECT_EQ(url("https://example.com").lastPathComponent(), "");

    auto file = url("https://example.com/a/archive.tar.gz?x=1");
    EXPECT_EQ(file.pathExtension(), "gz");
    EXPECT_EQ(url("https://example.com/a/.profile").pathExtension(), "");
    EXPECT_EQ(url("https://example.com/a/noext").pathExtension(), "");

    // Appending keeps the query, escapes what a path may not hold, and a "/"
    // inside the component makes two components.
    EXPECT_EQ(url("https://example.com").appendingPathComponent("container/abc").absoluteString(),
              "https://example.com/container/abc");
    EXPECT_EQ(url("https://example.com/base?q=1").appendingPathComponent("a b?#").absoluteString(),
              "https://example.com/base/a%20b%3F%23?q=1");
    EXPECT_EQ(base.appendingPathComponent("/x").absoluteString(), "https://example.com/v1/items/x");
    EXPECT_EQ(url("https://example.com/a").appendingPathComponent("100%").absoluteString(),
              "https://example.com/a/100%25");

    EXPECT_EQ(url("https://example.com/a/b").appendingPathExtension("json").absoluteString(),
              "https://example.com/a/b.json");
    EXPECT_EQ(url("https://example.com/a/b/").deletingLastPathComponent().absoluteString(), "https://example.com/a/");
    EXPECT_EQ(url("https://example.com/a/b.txt").deletingPathExtension().absoluteString(), "https://example.com/a/b");
    EXPECT_EQ(url("https://example.com/").deletingLastPathComponent().absoluteString(), "https://example.com/");
}

TEST(URLTests, FileURLs) {
    auto file = URL::fileURL("/tmp/batch files/1 2.json");
    EXPECT_TRUE(file.isFileURL());
    EXPECT_EQ(file.absoluteString(), "file:///tmp/batch%20files/1%202.json");
    EXPECT_EQ(file.path(), "/tmp/batch files/1 2.json");
    EXPECT_EQ(file.lastPathComponent(), "1 2.json");
    EXPECT_EQ(file.pathExtension(), "json");
    EXPECT_EQ(file.deletingLastPathComponent().path(), "/tmp/batch files");
    EXPECT_EQ(URL::fileURL("/tmp/dir", true).absoluteString(), "file:///tmp/dir/");
    EXPECT_EQ(URL::make(file.absoluteString()), file);
    EXPECT_FALSE(url("https://example.com/x").isFileURL());
    EXPECT_TRUE(url("FILE:///etc/hosts").isFileURL());

    // A file name on disk need not be UTF-8: its bytes are escaped all the same.
    const auto latin1 = URL::fileURL("/tmp/caf\xE9 1.txt");
    EXPECT_EQ(latin1.absoluteString(), "file:///tmp/caf%E9%201.txt");

    auto relative = URL::fileURL("some.txt");
    EXPECT_TRUE(relative.path().starts_with("/"));
    EXPECT_EQ(relative.lastPathComponent(), "some.txt");
}

TEST(CharacterSetTests, PercentEncodingWithTheURLSets) {
    // The parameter escaping: query-allowed less the delimiters of pairs and subkeys.
    auto parameterAllowed = CharacterSet::urlQueryAllowed().removing(":#[]@!$&'()*+,;=");
    EXPECT_EQ(addingPercentEncoding("a b&c=d", parameterAllowed), "a%20b%26c%3Dd");
    EXPECT_EQ(addingPercentEncoding("key[sub][]", parameterAllowed), "key%5Bsub%5D%5B%5D");
    EXPECT_EQ(addingPercentEncoding("-._~/?AZaz09", parameterAllowed), "-._~/?AZaz09");
    EXPECT_EQ(addingPercentEncoding(":#@!$'()*+,;", parameterAllowed), "%3A%23%40%21%24%27%28%29%2A%2B%2C%3B");
    EXPECT_EQ(addingPercentEncoding("\xC3\xA9\xE2\x82\xAC", parameterAllowed), "%C3%A9%E2%82%AC");
    EXPECT_EQ(addingPercentEncoding("100%", parameterAllowed), "100%25");
    EXPECT_EQ(addingPercentEncoding("\xFF", parameterAllowed), std::nullopt);  // not UTF-8

    EXPECT_EQ(addingPercentEncoding("a&b=c;d", CharacterSet::urlQueryAllowed()), "a&b=c;d");
    EXPECT_EQ(addingPercentEncoding("a;b c", CharacterSet::urlPathAllowed()), "a%3Bb%20c");
    EXPECT_EQ(addingPercentEncoding("[::1]", CharacterSet::urlHostAllowed()), "[::1]");
    EXPECT_EQ(addingPercentEncoding("a/b", CharacterSet::urlHostAllowed()), "a%2Fb");
    EXPECT_EQ(addingPercentEncoding("ab-1", CharacterSet::alphanumerics()), "ab%2D1");

    EXPECT_EQ(removingPercentEncoding("a%20b%2Fc"), "a b/c");
    EXPECT_EQ(removingPercentEncoding("bad%2"), std::nullopt);
    EXPECT_EQ(removingPercentEncoding("%FF"), std::nullopt);
}

TEST(URLComponentsTests, QueryItemsReadAndWrite) {
    auto components = URLComponents::make(url("https://example.com/view?a=1&b=x%20y&flag&c="));
    ASSERT_TRUE(components);
    auto items = components->queryItems();
    ASSERT_TRUE(items);
    EXPECT_EQ(*items, (std::vector<URLQueryItem>{{"a", "1"}, {"b", "x y"}, {"flag", std::nullopt}, {"c", ""}}));

    // Setting items replaces the query and escapes what would change its meaning.
    components->setQueryItems(std::vector<URLQueryItem>{{"q", "a&b=c d"}, {"k=", std::nullopt}, {"plus", "1+1"}});
    EXPECT_EQ(components->percentEncodedQuery(), "q=a%26b=c%20d&k%3D&plus=1+1");
    EXPECT_EQ(components->url()->absoluteString(), "https://example.com/view?q=a%26b=c%20d&k%3D&plus=1+1");
    auto readBack = URLComponents::make(*components->url())->queryItems();
    EXPECT_EQ((*readBack)[0], (URLQueryItem{"q", "a&b=c d"}));

    components->setQueryItems(std::vector<URLQueryItem>{});
    EXPECT_EQ(components->url()->absoluteString(), "https://example.com/view?");
    components->setQueryItems(std::nullopt);
    EXPECT_EQ(components->url()->absoluteString(), "https://example.com/view");
    EXPECT_EQ(components->queryItems(), std::nullopt);
}

TEST(URLComponentsTests, PiecesAndEscapedSetters) {
    auto components = URLComponents::make("http://example.com:8080/a%20b?x=%2F");
    ASSERT_TRUE(components);
    EXPECT_EQ(components->scheme(), "http");
    EXPECT_EQ(components->host(), "example.com");
    EXPECT_EQ(components->port(), 8080);
    EXPECT_EQ(components->path(), "/a b");
    EXPECT_EQ(components->percentEncodedPath(), "/a%20b");
    EXPECT_EQ(components->query(), "x=/");

    components->setPercentEncodedQuery(std::string("x=2&a=1"));
    components->setHost("ads.example.test");
    components->setPort(std::nullopt);
    components->setPath("/new path");
    EXPECT_EQ(components->string(), "http://ads.example.test/new%20path?x=2&a=1");
    EXPECT_THROW(components->setPercentEncodedQuery(std::string("a b")), std::invalid_argument);
    EXPECT_THROW(components->setPercentEncodedQuery(std::string("a=%G1")), std::invalid_argument);

    // A host with a path that is not absolute makes no URL.
    components->setPercentEncodedPath("relative");
    EXPECT_EQ(components->url(), std::nullopt);
}

TEST(URLRequestTests, HeaderFieldsKeepOrderAndReplaceWithoutCase) {
    URLRequest request(url("https://example.com/"));
    EXPECT_EQ(request.httpMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    EXPECT_EQ(request.cachePolicy(), URLRequestCachePolicy::useProtocolCachePolicy);
    EXPECT_FALSE(request.httpBody());

    request.setValue("text/plain", "Content-Type");
    request.setValue("application/json", "Accept");
    request.setValue("text/html", "content-type");
    request.addValue("gzip", "accept");
    EXPECT_EQ(request.allHTTPHeaderFields(),
              (HTTPHeaderFields{{"Content-Type", "text/html"}, {"Accept", "application/json,gzip"}}));
    EXPECT_EQ(request.value("CONTENT-TYPE"), "text/html");
    request.setValue(std::nullopt, "CONTENT-type");
    EXPECT_EQ(request.value("Content-Type"), std::nullopt);
    EXPECT_EQ(request.allHTTPHeaderFields().size(), 1u);

    URLRequest timed(url("https://example.com/"), URLRequestCachePolicy::reloadIgnoringLocalCacheData, 30);
    EXPECT_EQ(timed.timeoutInterval(), 30.0);
    EXPECT_TRUE(timed.hasExplicitTimeoutInterval());
    EXPECT_EQ(static_cast<int>(timed.cachePolicy()), 1);
}

TEST(HTTPURLResponseTests, HeadersMimeTypeAndLength) {
    HTTPURLResponse response(url("https://example.com/x"), 201,
                             {{"Content-Type", "Application/JSON; charset=\"UTF-8\""},
                              {"Set-Cookie", "a=1"},
                              {"set-cookie", "b=2"},
                              {"Content-Length", "42"}});
    EXPECT_EQ(response.statusCode(), 201);
    EXPECT_EQ(response.mimeType(), "application/json");
    EXPECT_EQ(response.textEncodingName(), "utf-8");
    EXPECT_EQ(response.expectedContentLength(), 42);
    EXPECT_EQ(response.value("SET-COOKIE"), "a=1, b=2");
    EXPECT_EQ(response.allHeaderFields().size(), 3u);
}

}  // namespace
}  // namespace qor::platform
