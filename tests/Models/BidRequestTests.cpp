// A complete bid request as the engine builds it, and the request's own rules.
#include <regex>

#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/DeviceFacts.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "OpenRTBTestSupport.h"

namespace qor::testing {
namespace {

BidRequest minimalRequest() {
    BidRequest request;
    request.id = "R";
    return request;
}

TEST(BidRequest, RequiredMembersOnlyAndAFreshTransactionIdEachTime) {
    const BidRequest first = minimalRequest();
    const BidRequest second = minimalRequest();
    const Json json = encodeToJson(first);
    EXPECT_EQ(keysOf(json), (std::set<std::string>{"id", "imp", "app", "device", "user", "source"}));
    EXPECT_EQ(json["imp"], Json::array());
    EXPECT_EQ(keysOf(json["source"]), std::set<std::string>{"tid"});
    EXPECT_TRUE(std::regex_match(first.source.transactionID,
                                 std::regex("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$")))
        << first.source.transactionID;
    EXPECT_NE(first.source.transactionID, second.source.transactionID);

    // Decoding keeps the sender's source; it never draws one of its own.
    EXPECT_EQ(decodeJson<BidRequest>(json).source, first.source);

    // As the parameters of a post: the same members, as a dictionary.
    const auto parameters = encodeBidRequestToDictionary(first);
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->at("id"), platform::Any(first.id));
    EXPECT_EQ(parameters->at("imp"), platform::Any(platform::Any::Array{}));
}

TEST(BidRequest, CompleteRequestAsTheEngineBuildsIt) {
    DeviceFacts facts;
    facts.hardware = DeviceHardwareFacts::current();
    facts.hardware.preferredLanguages = {"en-US"};
    facts.connection = ConnectionStatus::wifi;

    BidRequest request = minimalRequest();
    request.impression = {makeImpression()};
    request.impression[0].banner = bannerForSize({320, 50});
    request.impression[0].ext = extensionForEndpoint(coreEndpointType, 9, 101);
    request.app = ApplicationInfo::fromMainBundle();
    request.device = Device::fromFacts(facts);
    request.user.id = "anonymous-id";
    request.ext = BidRequest::Extension{decodeFrom<JSON>(R"({"page":"home","n":[1,2.5]})")};

    const Json json = encodeToJson(request);
    EXPECT_EQ(keysOf(json), (std::set<std::string>{"id", "imp", "app", "device", "user", "source", "ext"}));
    ASSERT_EQ(json["imp"].size(), 1u);
    EXPECT_EQ(keysOf(json["imp"][0]), (std::set<std::string>{"id", "banner", "secure", "ext"}));
    EXPECT_EQ(json["imp"][0]["banner"], Json::parse(R"({"format":[{"w":320,"h":50}]})"));
    EXPECT_EQ(json["app"]["ext"], Json::parse(R"({"QOR":{"version":"0.1.19","source":"qor-sdk"}})"));
    EXPECT_EQ(keysOf(json["device"]),
              (std::set<std::string>{"lmt", "devicetype", "make", "model", "os", "osv", "hwv", "h", "w", "ppi",
                                     "pxratio", "js", "language", "connectiontype", "ifa"}));
    EXPECT_EQ(json["user"], Json::parse(R"({"id":"anonymous-id","gender":"o"})"));
    EXPECT_EQ(json["ext"], Json::parse(R"({"context":{"page":"home","n":[1,2.5]}})"));
    EXPECT_NE(json["source"]["tid"], json["imp"][0]["id"]);

    EXPECT_EQ(decodeJson<BidRequest>(json), request);
}

TEST(BidRequest, ExtensionAndRegsShapes) {
    BidRequest request = minimalRequest();
    request.ext = BidRequest::Extension{};
    request.regs = Regs{};
    request.currencies = std::vector<std::string>{};
    Json json = encodeToJson(request);
    EXPECT_EQ(json["ext"], Json::object());
    EXPECT_EQ(json["regs"], Json::object());
    EXPECT_EQ(json["cur"], Json::array());
    EXPECT_EQ(decodeJson<BidRequest>(json).currencies, std::vector<std::string>{});

    json["regs"] = Json::parse(R"({"ext":{"gdpr":1}})");
    EXPECT_EQ(jsonErrorKind<BidRequest>(json), ErrorKind::typeMismatch);

    // A null context is sent as null and reads back as no context; "site" is not part of the request.
    request.ext = BidRequest::Extension{JSON()};
    EXPECT_EQ(encodeToJson(request)["ext"], Json::parse(R"({"context":null})"));
    json["regs"] = Json::parse(R"({"ext":"x"})");
    json["ext"] = Json::parse(R"({"context":null})");
    json["site"] = Json::parse(R"({"id":"s"})");
    const auto decoded = decodeJson<BidRequest>(json);
    ASSERT_TRUE(decoded.ext);
    EXPECT_EQ(decoded.ext->context, std::nullopt);
    EXPECT_EQ(decoded.regs->ext, "x");
    EXPECT_FALSE(encodeToJson(decoded).contains("site"));
}

}  // namespace
}  // namespace qor::testing
