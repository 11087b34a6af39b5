#pragma once

// Everything a record needs to declare its JSON coding:
//
//   struct Format {
//     std::optional<std::int64_t> w;
//     void encode(KeyedEncodingContainer& c) const { c.encodeIfPresent("w", w); }
//     static Format decode(const KeyedDecodingContainer& c) {
//       Format f;
//       f.w = c.decodeIfPresent<std::int64_t>("w");
//       return f;
//     }
//   };
//
// Member types coded out of the box: bool (only JSON true/false), every integer type (exact:
// a fraction or an out-of-range value fails, 2.0 reads as 2), float and double, std::string,
// Decimal, Any, std::optional, std::vector, std::map<std::string, T>, nested records, enums
// through EnumRawValues and any type through ValueCoding.

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingErrors.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingPath.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingTraits.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/KeyStrategy.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/KeyedDecodingContainer.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/KeyedEncodingContainer.h>
#include <QORUniversalSDK/Platform/Foundation/Decimal.h>
