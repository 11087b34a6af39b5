#include "Utils/UTF8.h"

#include <cstdint>

namespace qor {

bool isValidUTF8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto lead = static_cast<std::uint8_t>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<std::uint8_t>(bytes[i + k]);
      const std::uint8_t min = k == 1 ? low : 0x80;
      const std::uint8_t max = k == 1 ? high : 0xBF;
      if (byte < min || byte > max) return false;
    }
    i += length;
  }
  return true;
}

std::optional<std::string> utf8String(const platform::Data& data) {
  std::string text(data.begin(), data.end());
  if (!isValidUTF8(text)) return std::nullopt;
  return text;
}

}  // namespace qor
