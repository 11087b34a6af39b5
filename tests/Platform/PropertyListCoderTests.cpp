#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/PropertyListDecoder.h"
#include "Platform/Foundation/PropertyListEncoder.h"

namespace qor::platform {
namespace {

struct Profile {
    std::string name;
    std::optional<std::string> nickname;
    bool active = false;
    std::int64_t visits = 0;
    std::uint64_t big = 0;
    double ratio = 0;
    float weight = 0;
    Decimal balance;
    Data avatar;
    std::map<std::string, std::vector<int>> groups;
    Any extra;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("name", name);
        c.encodeIfPresent("nickname", nickname);
        c.encode("active", active);
        c.encode("visits", visits);
        c.encode("big", big);
        c.encode("ratio", ratio);
        c.encode("weight", weight);
        c.encode("balance", balance);
        c.encode("avatar", avatar);
        c.encode("groups", groups);
        c.encode("extra", extra);
    }
    static Profile decode(const KeyedDecodingContainer& c) {
        Profile p;
        p.name = c.decode<std::string>("name");
        p.nickname = c.decodeIfPresent<std::string>("nickname");
        p.active = c.decode<bool>("active");
        p.visits = c.decode<std::int64_t>("visits");
        p.big = c.decode<std::uint64_t>("big");
        p.ratio = c.decode<double>("ratio");
        p.weight = c.decode<float>("weight");
        p.balance = c.decode<Decimal>("balance");
        p.avatar = c.decode<Data>("avatar");
        p.groups = c.decode<std::map<std::string, std::vector<int>>>("groups");
        p.extra = c.decode<Any>("extra");
        return p;
    }
};

TEST(PropertyListCoder, RecordsComeBackExactly) {
    Profile profile;
    profile.name = "Zoë \"quoted\"";
    profile.active = true;
    profile.visits = std::numeric_limits<std::int64_t>::min();
    profile.big = std::numeric_limits<std::uint64_t>::max();
    profile.ratio = 0.1;
    profile.weight = 0.1f;
    profile.balance = Decimal::parse("-12345678901234567890123456789012345678e-128").value();
    profile.avatar = Data{0, 255, 34, 10};
    profile.groups = {{"a", {1, 2}}, {"b", {}}};
    profile.extra = Any(AnyDictionary{{"null", Any()}, {"flag", Any(false)}, {"one", Any(1)}, {"text", Any("1")}});

    const Data encoded = PropertyListEncoder().encode(profile);
    const Profile decoded = PropertyListDecoder().decode<Profile>(encoded);
    EXPECT_EQ(decoded.name, profile.name);
    EXPECT_FALSE(decoded.nickname.has_value());
    EXPECT_TRUE(decoded.active);
    EXPECT_EQ(decoded.visits, profile.visits);
    EXPECT_EQ(decoded.big, profile.big);
    EXPECT_EQ(decoded.ratio, 0.1);
    EXPECT_EQ(decoded.weight, 0.1f);
    EXPECT_EQ(decoded.balance, profile.balance);
    EXPECT_EQ(decoded.avatar, profile.avatar);
    EXPECT_EQ(decoded.groups, profile.groups);

    // Kinds survive inside untyped values: null, a boolean apart from numbers, a text apart
    // from a number.
    const auto& extra = decoded.extra.asDictionary();
    EXPECT_TRUE(extra.at("null").isNull());
    EXPECT_TRUE(extra.at("flag").isBool());
    EXPECT_TRUE(extra.at("one").isInteger());
    EXPECT_TRUE(extra.at("text").isString());
    // Member order is kept.
    std::vector<std::string> keys;
    for (const auto& [key, value] : extra) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"null", "flag", "one", "text"}));
}

TEST(PropertyListCoder, DecimalsAndParsedNumbersKeepTheirExactValue) {
    for (const char* text : {"0", "0.1", "-1e127", "1e-128", "99999999999999999999999999999999999999"}) {
        const Decimal value = Decimal::parse(text).value();
        EXPECT_EQ(PropertyListDecoder().decode<Decimal>(PropertyListEncoder().encode(value)), value) << text;
    }
    const Any parsed = Any::parsedNumber(0.30000000000000004, Decimal::parse("0.30000000000000004"));
    const Any back = PropertyListDecoder::decodeAny(PropertyListEncoder::encodeAny(parsed));
    ASSERT_TRUE(back.exactDecimal() && back.exactDecimal()->has_value());
    EXPECT_EQ(**back.exactDecimal(), Decimal::parse("0.30000000000000004").value());
}

TEST(PropertyListCoder, DamagedDataIsRefused) {
    const Data good = PropertyListEncoder().encode(std::vector<std::string>{"a", "bc"});
    auto refuses = [](const Data& data) {
        try {
            PropertyListDecoder().decode<std::vector<std::string>>(data);
            return false;
        } catch (const DecodingError& error) {
            return error.kind == DecodingError::Kind::dataCorrupted;
        }
    };
    EXPECT_FALSE(refuses(good));
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_TRUE(refuses(Data(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)))) << cut;
    }
    Data trailing = good;
    trailing.push_back('n');
    EXPECT_TRUE(refuses(trailing));
    EXPECT_TRUE(refuses(dataFromString("[\"a\",\"bc\"]")));  // JSON text is not this form

    // A huge declared length must not be trusted.
    Data huge = dataFromString(std::string(PropertyListEncoder::header) + "a");
    for (int i = 0; i < 9; ++i) huge.push_back(0xFF);
    huge.push_back(0x01);
    EXPECT_TRUE(refuses(huge));

    // Deep nesting is refused instead of exhausting the stack.
    Data deep = dataFromString(std::string(PropertyListEncoder::header));
    for (int i = 0; i < 100000; ++i) {
        deep.push_back('a');
        deep.push_back(1);
    }
    deep.push_back('n');
    EXPECT_THROW(PropertyListDecoder::decodeAny(deep), DecodingError);
}

}  // namespace
}  // namespace qor::platform
