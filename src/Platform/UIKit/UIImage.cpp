#include "Platform/UIKit/UIImage.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

// The decoder is compiled here, private to this file, with only the formats that an image may
// come in: a format that stb would otherwise guess at (TGA has no signature) cannot pass.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#include <stb_image.h>

namespace qor::platform {

namespace {

std::shared_ptr<UIImage> imageOfSize(int width, int height) {
    return std::make_shared<UIImage>(CGSize{static_cast<double>(width), static_cast<double>(height)});
}

// GIFs go through the decoder's animation reader, which reads up to the trailer: the frame
// reader alone fills whatever data is missing with the background. Once it has accepted the
// signature the decoder clears its failure reason, so an empty reason after the read means
// that every frame and the trailer were there. Nothing when the data is no GIF at all; nullptr
// for a GIF cut short.
std::optional<std::shared_ptr<UIImage>> decodeGIF(const stbi_uc* bytes, int length) {
    int width = 0;
    int height = 0;
    int frames = 0;
    int components = 0;
    stbi_uc* pixels = stbi_load_gif_from_memory(bytes, length, nullptr, &width, &height, &frames, &components, 0);
    if (pixels == nullptr) return std::nullopt;
    stbi_image_free(pixels);
    const char* failure = stbi_failure_reason();
    if (failure != nullptr && *failure != '\0') return nullptr;
    return imageOfSize(width, height);
}

}  // namespace

std::shared_ptr<UIImage> UIImage::withData(const Data& data) {
    if (data.empty() || data.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
    const int length = static_cast<int>(data.size());
    if (auto gif = decodeGIF(data.data(), length)) return *gif;
    int width = 0;
    int height = 0;
    int components = 0;
    stbi_uc* pixels = stbi_load_from_memory(data.data(), length, &width, &height, &components, 0);
    if (pixels == nullptr) return nullptr;
    stbi_image_free(pixels);
    return imageOfSize(width, height);
}

std::shared_ptr<UIImage> UIImage::withContentsOfFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file) return nullptr;
        const Data data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        return file.bad() ? nullptr : withData(data);
    } catch (const std::ios_base::failure&) {
        return nullptr;  // a read that failed half way
    }
}

}  // namespace qor::platform
