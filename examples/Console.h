#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qor::example {

// The app's console: while it lives it is the SDK's console writer. It shows each line the SDK
// prints on standard output, as the SDK would, and keeps the latest 10000, so that the app can
// read back what the SDK printed. The SDK calls it on any of its threads.
class Console {
public:
    Console();
    // Hands the SDK's lines back to standard output.
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Every kept line, without its line feed.
    std::vector<std::string> lines() const;
    // How many of the kept lines start with the prefix.
    std::size_t countSoFar(std::string_view prefix) const;

private:
    struct Kept;
    std::shared_ptr<Kept> kept_;
};

}  // namespace qor::example
