#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qor::platform {

// Where a value sits inside the document being coded: a chain of keys and list positions
// kept on the stack while coding runs (each link points at its parent, which outlives it).
// The readable form is only built when an error needs it: keys as they are, list positions
// as "Index 3".
class QOR_EXPORT CodingPath {
public:
    CodingPath() = default;  // the top level
    CodingPath(const CodingPath& parent, std::string_view key) : parent_(&parent), key_(key), kind_(Kind::key) {}
    CodingPath(const CodingPath& parent, std::size_t index) : parent_(&parent), index_(index), kind_(Kind::index) {}

    bool isRoot() const { return kind_ == Kind::root; }
    std::vector<std::string> components() const;

private:
    enum class Kind { root, key, index };
    const CodingPath* parent_ = nullptr;
    std::string_view key_;
    std::size_t index_ = 0;
    Kind kind_ = Kind::root;
};

}  // namespace qor::platform
