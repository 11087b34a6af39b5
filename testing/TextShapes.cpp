#include "testing/TextShapes.h"

namespace qor::testing {
namespace {

// Whether `text` has the shape of `pattern`, where 'h' stands for an upper-case
// hexadecimal digit, 'd' for a decimal one and any other character for itself.
bool hasShape(std::string_view text, std::string_view pattern) {
    if (text.size() != pattern.size()) return false;
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        const char c = text[index];
        const bool decimal = c >= '0' && c <= '9';
        switch (pattern[index]) {
            case 'h':
                if (!decimal && !(c >= 'A' && c <= 'F')) return false;
                break;
            case 'd':
                if (!decimal) return false;
                break;
            default:
                if (c != pattern[index]) return false;
        }
    }
    return true;
}

}  // namespace

bool isUpperCaseUUID(std::string_view text) { return hasShape(text, "hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh"); }

bool isISOTimestamp(std::string_view text) { return hasShape(text, "dddd-dd-ddTdd:dd:dd.dddZ"); }

}  // namespace qor::testing
