#include "Networking/Client/QORSDKError.h"
#include "Networking/Client/Request/CurlString.h"
#include "Networking/Client/Request/PassBackRequest.h"
#include "Networking/Client/Request/UserAgent.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/DeviceProfile.h"
#include "TestRequests.h"
#include "testing/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace qor {
namespace {

using platform::Any;
using test::ConfigurableRequest;

class RequestBuilding : public ::testing::Test {
protected:
    platform::URLRequest build(const AnyRequest& request) { return session_->buildURLRequest(request); }

    static std::string url(const platform::URLRequest& request) { return request.url()->absoluteString(); }
    static std::string body(const platform::URLRequest& request) {
        return request.httpBody() ? platform::stringFromData(*request.httpBody()) : "<none>";
    }

    static QORSDKError buildError(const std::function<void()>& build) {
        try {
            build();
        } catch (const QORSDKError& error) {
            return error;
        }
        ADD_FAILURE() << "building did not fail";
        return QORSDKError::generalError{QORSDKError::GeneralErrorReason::processDiscarded{}};
    }

    std::shared_ptr<Session> session_ = Session::makeDefault();
};

TEST_F(RequestBuilding, GetPutsParametersIntoTheQuery) {
    ConfigurableRequest request;
    request.parametersValue = Parameters{{"a", 1}};
    EXPECT_EQ(url(build(request)), "https://api.test/v1?a=1");

    request.base = "https://api.test/v1?x=2";
    EXPECT_EQ(url(build(request)), "https://api.test/v1?x=2&a=1");

    request.base = "https://api.test/v1?";
    EXPECT_EQ(url(build(request)), "https://api.test/v1?&a=1") << "an empty query counts as present";

    request.base = "https://api.test/v1?x=2";
    request.parametersValue = Parameters{};
    EXPECT_EQ(url(build(request)), "https://api.test/v1?x=2") << "an empty dictionary leaves the URL alone";

    request.parametersValue = Parameters{{"list", Any::Array{}}, {"map", Parameters{}}};
    EXPECT_EQ(url(build(request)), "https://api.test/v1?x=2&") << "only empty containers give an empty text form";

    request.base = "https://api.test/v1";
    const auto built = build(request);
    EXPECT_EQ(url(built), "https://api.test/v1?");
    EXPECT_EQ(built.httpMethod(), "GET");
    EXPECT_EQ(built.value("Content-Type"), std::nullopt);
    EXPECT_EQ(body(built), "<none>");

    request.contentTypeValue = ContentType::json;
    EXPECT_EQ(build(request).value("Content-Type"), "text/plain") << "the label is set for GET too";
}

TEST_F(RequestBuilding, BodiesAndContentTypes) {
    ConfigurableRequest request;
    request.methodValue = HTTPMethod::post;
    request.contentTypeValue = ContentType::formUrlEncoded;
    request.parametersValue = Parameters{{"name", "a b&c"}, {"n", 2}};
    auto built = build(request);
    EXPECT_EQ(built.httpMethod(), "POST");
    EXPECT_EQ(body(built), "name=a%20b%26c&n=2");
    EXPECT_EQ(built.value("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(url(built), "https://api.test/v1");

    request.contentTypeValue = ContentType::json;
    request.parametersValue = Parameters{{"url", "https://x/y"}, {"ok", true}, {"list", Any::Array{1, 1.5}}};
    built = build(request);
    EXPECT_EQ(body(built), R"({"url":"https:\/\/x\/y","ok":true,"list":[1,1.5]})");
    EXPECT_EQ(built.value("Content-Type"), "text/plain");

    request.parametersValue = Parameters{};
    EXPECT_EQ(body(build(request)), "{}");

    request.parametersValue.reset();
    built = build(request);
    EXPECT_EQ(body(built), "<none>");
    EXPECT_EQ(built.value("Content-Type"), "text/plain");

    request.methodValue = HTTPMethod::put;
    request.contentTypeValue = ContentType::formUrlEncoded;
    request.parametersValue = Parameters{};
    built = build(request);
    EXPECT_EQ(built.httpMethod(), "PUT");
    EXPECT_EQ(body(built), "") << "empty parameters give an empty form body";
}

TEST_F(RequestBuilding, AdapterChainShapeTokenAndSuffixes) {
    ConfigurableRequest request;
    EXPECT_EQ(request.adapters().size(), 2u) << "header and method adapters only";
    EXPECT_EQ(request.pipelines().size(), 2u);

    request.authenticationValue = AuthenticationMethod::token("t0k");
    request.contentTypeValue = ContentType::json;
    request.parametersValue = Parameters{};
    EXPECT_EQ(request.adapters().size(), 5u);
    EXPECT_EQ(request.pipelines().size(), 3u);
    EXPECT_NE(request.pipelines()[0].asRedirector(), nullptr);

    std::vector<std::string> seen;
    request.suffixAdaptersValue = RequestAdapterList{
        std::make_shared<AnyRequestAdapter>([&seen](platform::URLRequest r) {
            seen.push_back(r.value("Authorization").value_or("none"));
            r.setValue("suffix", "Authorization");
            return r;
        }),
    };
    EXPECT_EQ(build(request).value("Authorization"), "suffix");
    EXPECT_EQ(seen, std::vector<std::string>{"Bearer t0k"}) << "suffix adapters run after the token adapter";

    request.authenticationValue = AuthenticationMethod::token("");
    request.suffixAdaptersValue.reset();
    EXPECT_EQ(build(request).value("Authorization"), "Bearer ");

    const auto lack = buildError([] { TokenAdapter(std::nullopt).adapted(platform::URLRequest()); });
    EXPECT_EQ(lack.errorDescription(), "Not yet implemented: lackOfAccessToken");

    bool laterRan = false;
    request.suffixAdaptersValue = RequestAdapterList{
        std::make_shared<AnyRequestAdapter>(
            [](platform::URLRequest) -> platform::URLRequest { throw std::runtime_error("adapter refused"); }),
        std::make_shared<AnyRequestAdapter>([&laterRan](platform::URLRequest r) {
            laterRan = true;
            return r;
        }),
    };
    EXPECT_THROW(build(request), std::runtime_error);
    EXPECT_FALSE(laterRan);
}

TEST_F(RequestBuilding, FixedHeadersAndUserAgent) {
    platform::URLRequest preset(platform::URL::make("https://a.test"));
    preset.setValue("text/html", "accept");
    preset.setValue("max-age=5", "Cache-Control");
    const auto adapted = HeaderAdapter("UA/1").adapted(preset);
    EXPECT_EQ(adapted.value("Accept"), "application/json");
    EXPECT_EQ(adapted.value("Cache-Control"), "private, no-store, no-cache, must-revalidate");
    EXPECT_EQ(adapted.value("User-Agent"), "UA/1");
    EXPECT_EQ(adapted.allHTTPHeaderFields().size(), 3u) << "earlier values are replaced, not repeated";

    EXPECT_EQ(build(ConfigurableRequest()).value("User-Agent"), defaultUserAgent());

    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.model = "iPhone";
        profile.systemVersion = "17.2.1";
    });
    platform::PlistDictionary info{{"CFBundleIdentifier", platform::PlistValue(std::string("com.example.app"))},
                                   {"CFBundleShortVersionString", platform::PlistValue(std::string("2.3"))}};
    EXPECT_EQ(makeUserAgent(info), "com.example.app/2.3 QOR SDK /0.1.19 (iPhone; CPU iPhone OS 17_2_1 like Mac OS X)");
    info.erase("CFBundleShortVersionString");
    info["CFBundleIdentifier"] = platform::PlistValue(std::int64_t{7});
    EXPECT_EQ(makeUserAgent(info), "/ QOR SDK /0.1.19 (iPhone; CPU iPhone OS 17_2_1 like Mac OS X)");
    platform::resetDeviceProfile();
}

TEST_F(RequestBuilding, PathsAndPathQueries) {
    ConfigurableRequest request;
    request.base = "https://api.test/v1?keep=1";
    EXPECT_EQ(url(build(request)), "https://api.test/v1?keep=1") << "an empty path keeps the base URL whole";

    request.base = "https://api.test/v1/";
    request.pathValue = "container/KEY-1";
    EXPECT_EQ(url(build(request)), "https://api.test/v1/container/KEY-1");

    request.base = "https://api.test";
    request.pathValue = "track";
    request.pathQueriesValue = std::vector<platform::URLQueryItem>{{"id", "7"}, {"flag", std::nullopt}};
    EXPECT_EQ(url(build(request)), "https://api.test/track?id=7&flag");

    request.base = "https://api.test/x?old=1";
    request.pathValue = "";
    request.methodValue = HTTPMethod::post;
    request.pathQueriesValue = std::vector<platform::URLQueryItem>{{"new", "2"}};
    EXPECT_EQ(url(build(request)), "https://api.test/x?new=2") << "path queries replace the query, for POST too";
}

TEST(ParameterTextForm, NestingEscapingAndScalars) {
    EXPECT_EQ(queryString(Parameters{{"a", Parameters{{"b", "c"}}}}), "a%5Bb%5D=c");
    EXPECT_EQ(queryString(Parameters{{"a", Any::Array{1, 2}}}), "a%5B%5D=1&a%5B%5D=2");
    EXPECT_EQ(queryString(Parameters{{"a", Parameters{{"l", Any::Array{Parameters{{"k", "v"}}}}}}}),
              "a%5Bl%5D%5B%5D%5Bk%5D=v");
    EXPECT_EQ(queryString(Parameters{{"q", "x y&z/w?v"}}), "q=x%20y%26z/w?v");
    EXPECT_EQ(queryString(Parameters{{"t", true}, {"f", false}, {"i", -3}, {"d", 1.5}, {"n", nullptr}}),
              "t=true&f=false&i=-3&d=1.5&n=%3Cnull%3E");
    EXPECT_EQ(queryString(Parameters{{"k:#[]@!$&'()*+,;=", "é-._~"}}),
              "k%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D=%C3%A9-._~");
    EXPECT_EQ(queryString(Parameters{{"z", 1}, {"a", 2}}), "z=1&a=2") << "dictionary order, no sorting";
    EXPECT_EQ(queryString(Parameters{}), "");
}

TEST_F(RequestBuilding, UnbuildableRequestsFailWithTheirReasons) {
    for (const char* text : {"not a url", "", "/relative/path", "mailto:someone"}) {
        const auto error = buildError([&] { build(PassBackRequest(text)); });
        EXPECT_EQ(error.errorDescription(), "Not yet implemented: missingURL") << text;
    }
    const auto noURL = buildError([] { URLQueryEncoder(Parameters{{"a", 1}}).adapted(platform::URLRequest()); });
    EXPECT_EQ(noURL.errorDescription(), "Not yet implemented: missingURL");

    ConfigurableRequest request;
    request.methodValue = HTTPMethod::post;
    request.contentTypeValue = ContentType::json;
    request.parametersValue = Parameters{{"price", std::numeric_limits<double>::infinity()}};
    const auto encoding = buildError([&] { build(request); });
    const auto* failed = encoding.as<QORSDKError::requestFailed>();
    ASSERT_NE(failed, nullptr);
    EXPECT_NE(failed->reason.as<QORSDKError::RequestErrorReason::jsonEncodingFailed>(), nullptr);
    EXPECT_EQ(encoding.errorDescription()->rfind("Not yet implemented: jsonEncodingFailed(", 0), 0u);
}

TEST_F(RequestBuilding, PassBackAndFetchIPRequests) {
    const auto passBack = build(PassBackRequest("https://cdn.test/ad/tag.html?w=320&h=50"));
    EXPECT_EQ(url(passBack), "https://cdn.test/ad/tag.html?w=320&h=50");
    EXPECT_EQ(passBack.httpMethod(), "GET");
    EXPECT_EQ(passBack.value("Content-Type"), std::nullopt);
    EXPECT_EQ(passBack.value("Authorization"), std::nullopt);
    EXPECT_EQ(body(passBack), "<none>");
    EXPECT_EQ(passBack.timeoutInterval(), 30.0);
    EXPECT_EQ(passBack.cachePolicy(), platform::URLRequestCachePolicy::reloadIgnoringLocalCacheData);

    const auto fetchIP = [&] {
        qor::testing::ScopedEnvironment ipEcho("QOR_IP_ECHO_URL", "https://198.51.100.7");
        return build(FetchIPRequest::standard());
    }();
    EXPECT_EQ(url(fetchIP), "https://198.51.100.7/cdn-cgi/trace");
    EXPECT_EQ(fetchIP.httpMethod(), "GET");
    EXPECT_EQ(fetchIP.value("Content-Type"), std::nullopt);
}

TEST(HTTPMethod, RawValues) {
    EXPECT_EQ(makeHTTPMethod("GET"), HTTPMethod::get);
    EXPECT_EQ(makeHTTPMethod("DELETE"), HTTPMethod::delete_);
    EXPECT_EQ(makeHTTPMethod("get"), std::nullopt);
    EXPECT_EQ(makeHTTPMethod("PATCH"), std::nullopt);
    EXPECT_EQ(rawValue(HTTPMethod::put), "PUT");
}

TEST(CurlString, RendersByteForByte) {
    EXPECT_EQ(curlString(platform::URLRequest()), "");

    platform::URLRequest get(platform::URL::make("https://a.test/x?q=1"));
    EXPECT_EQ(curlString(get), "curl https://a.test/x?q=1");

    platform::URLRequest head(platform::URL::make("https://a.test/"));
    head.setHTTPMethod("HEAD");
    head.setValue("v", "X-One");
    EXPECT_EQ(curlString(head), "curl https://a.test/ --head \\\n\t-H 'X-One: v'");

    platform::URLRequest post(platform::URL::make("https://a.test/p"));
    post.setHTTPMethod("POST");
    post.setValue("text/plain; charset=utf-8", "Content-Type");
    post.setValue("a=b", "Cookie");
    post.setValue("utf-8", "charset");
    post.setValue("x; charset=utf-8", "X-Keep");
    post.setValue("it's", "X-Quote");
    post.setHTTPBody(platform::dataFromString("{\"k\":'v'}"));
    EXPECT_EQ(curlString(post),
              "curl https://a.test/p \\\n\t-X POST \\\n\t-H 'Content-Type: text/plain' \\\n\t-H 'X-Keep: x; "
              "charset=utf-8' \\\n\t-H 'X-Quote: it's' \\\n\t-d '{\"k\":'v'}'");

    post.setHTTPBody(platform::Data{0xff, 0xfe});
    EXPECT_EQ(curlString(post).find("-d"), std::string::npos);
    post.setHTTPBody(platform::Data{});
    EXPECT_EQ(curlString(post).substr(curlString(post).size() - 9), " \\\n\t-d ''");
}

using RequestBuildingDeathTest = RequestBuilding;

TEST_F(RequestBuildingDeathTest, ParametersWithoutContentTypeStopUnlessGet) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ConfigurableRequest request;
    request.methodValue = HTTPMethod::post;
    request.parametersValue = Parameters{{"a", 1}};
    EXPECT_DEATH(request.adapters(),
                 "^Fatal error: \\[QORSDK\\] You must specify a contentType to use POST request\\.\n");
}

}  // namespace
}  // namespace qor
