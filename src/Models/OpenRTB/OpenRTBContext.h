#pragma once

// TEMPORARY: the free-form JSON value until the analytics foundations land.
#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {
struct JSON {
  platform::Any value;
  bool operator==(const JSON&) const = default;
};
}  // namespace qor

template <>
struct qor::platform::ValueCoding<qor::JSON> {
  static Any encode(const qor::JSON& j) { return j.value; }
  static qor::JSON decode(const Any& a, const CodingPath&) { return qor::JSON{a}; }
};
