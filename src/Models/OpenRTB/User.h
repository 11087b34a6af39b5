#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Models/OpenRTB/Geo.h"
#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// One audience segment of a user's data.
struct Segment {
    std::optional<std::string> id;
    std::optional<std::string> name;
    std::optional<std::string> value;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("id", id);
        c.encodeIfPresent("name", name);
        c.encodeIfPresent("value", value);
        c.encodeIfPresent("ext", ext);
    }

    static Segment decode(const KeyedDecodingContainer& c) {
        Segment s;
        s.id = c.decodeIfPresent<std::string>("id");
        s.name = c.decodeIfPresent<std::string>("name");
        s.value = c.decodeIfPresent<std::string>("value");
        s.ext = c.decodeIfPresent<std::string>("ext");
        return s;
    }

    bool operator==(const Segment&) const = default;
};

// The human user of the device. The ad network reads camel-case keys, lower-case gender letters
// (always sent) and a single "data" object; every "ext" is a plain string.
struct User {
    // Raw values "m", "f" and "o" (lower case): rawValue(User::Gender::female) is "f", and
    // enumFromRawValue<User::Gender>("f") (the raw-value constructor) is female.
    enum class Gender { male, female, other };

    struct Data {
        std::optional<std::string> id;
        std::optional<std::string> name;
        std::optional<std::vector<Segment>> segment;
        std::optional<std::string> ext;

        void encode(KeyedEncodingContainer& c) const {
            c.encodeIfPresent("id", id);
            c.encodeIfPresent("name", name);
            c.encodeIfPresent("segment", segment);
            c.encodeIfPresent("ext", ext);
        }

        static Data decode(const KeyedDecodingContainer& c) {
            Data d;
            d.id = c.decodeIfPresent<std::string>("id");
            d.name = c.decodeIfPresent<std::string>("name");
            d.segment = c.decodeIfPresent<std::vector<Segment>>("segment");
            d.ext = c.decodeIfPresent<std::string>("ext");
            return d;
        }

        bool operator==(const Data&) const = default;
    };

    std::optional<std::string> id;
    std::optional<std::string> buyerUID;
    std::optional<std::int64_t> yearOfBirth;
    Gender gender = Gender::other;
    std::optional<std::string> keywords;
    std::optional<std::string> customData;
    std::optional<Geo> geo;
    std::optional<Data> data;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const;
    static User decode(const KeyedDecodingContainer& c);

    bool operator==(const User&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::User::Gender> {
    using E = qor::User::Gender;
    static constexpr std::array cases{
        std::pair{E::male, std::string_view{"m"}},
        std::pair{E::female, std::string_view{"f"}},
        std::pair{E::other, std::string_view{"o"}},
    };
};

inline void qor::User::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("id", id);
    c.encodeIfPresent("buyerUID", buyerUID);
    c.encodeIfPresent("yearOfBirth", yearOfBirth);
    c.encode("gender", gender);
    c.encodeIfPresent("keywords", keywords);
    c.encodeIfPresent("customData", customData);
    c.encodeIfPresent("geo", geo);
    c.encodeIfPresent("data", data);
    c.encodeIfPresent("ext", ext);
}

inline qor::User qor::User::decode(const KeyedDecodingContainer& c) {
    User u;
    u.id = c.decodeIfPresent<std::string>("id");
    u.buyerUID = c.decodeIfPresent<std::string>("buyerUID");
    u.yearOfBirth = c.decodeIfPresent<std::int64_t>("yearOfBirth");
    u.gender = c.decode<Gender>("gender");
    u.keywords = c.decodeIfPresent<std::string>("keywords");
    u.customData = c.decodeIfPresent<std::string>("customData");
    u.geo = c.decodeIfPresent<Geo>("geo");
    u.data = c.decodeIfPresent<Data>("data");
    u.ext = c.decodeIfPresent<std::string>("ext");
    return u;
}
