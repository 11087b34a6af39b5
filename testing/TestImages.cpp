#include "testing/TestImages.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace qor::testing {

namespace {

using platform::Data;

// A red-to-blue gradient, three bytes per pixel.
std::vector<std::uint8_t> gradient(int width, int height) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<std::uint8_t>(255 * x / (width > 1 ? width - 1 : 1)));
            pixels.push_back(0);
            pixels.push_back(static_cast<std::uint8_t>(255 * y / (height > 1 ? height - 1 : 1)));
        }
    }
    return pixels;
}

void appendTo(void* context, void* bytes, int size) {
    auto* data = static_cast<Data*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(bytes);
    data->insert(data->end(), begin, begin + size);
}

void appendLittleEndian16(Data& data, int value) {
    data.push_back(static_cast<std::uint8_t>(value & 0xFF));
    data.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// LZW with a minimum code size of 2: codes stay 3 bits wide because a clear code (4) comes
// before every second pixel, so the table never grows to need a fourth bit.
Data gifImageData(int pixelCount) {
    std::vector<int> codes;
    for (int index = 0; index < pixelCount; ++index) {
        if (index % 2 == 0) codes.push_back(4);
        codes.push_back(index % 3 == 0 ? 1 : 0);
    }
    codes.push_back(5);  // end of information
    Data packed;
    unsigned bits = 0;
    int bitCount = 0;
    for (const int code : codes) {
        bits |= static_cast<unsigned>(code) << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    }
    if (bitCount > 0) packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    Data blocks{2};  // the minimum code size
    for (std::size_t offset = 0; offset < packed.size(); offset += 255) {
        const auto size = std::min<std::size_t>(255, packed.size() - offset);
        blocks.push_back(static_cast<std::uint8_t>(size));
        blocks.insert(blocks.end(), packed.begin() + static_cast<long>(offset),
                      packed.begin() + static_cast<long>(offset + size));
    }
    blocks.push_back(0);  // block terminator
    return blocks;
}

}  // namespace

Data makePNG(int width, int height) {
    Data data;
    const auto pixels = gradient(width, height);
    stbi_write_png_to_func(appendTo, &data, width, height, 3, pixels.data(), width * 3);
    return data;
}

Data makeJPEG(int width, int height) {
    Data data;
    const auto pixels = gradient(width, height);
    stbi_write_jpg_to_func(appendTo, &data, width, height, 3, pixels.data(), 90);
    return data;
}

Data makeGIF(int width, int height) {
    Data data{'G', 'I', 'F', '8', '9', 'a'};
    appendLittleEndian16(data, width);
    appendLittleEndian16(data, height);
    data.insert(data.end(), {0x80, 0x00, 0x00});                    // a global palette of two colours
    data.insert(data.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF});  // black, white
    data.push_back(0x2C);                                           // image descriptor at 0,0
    appendLittleEndian16(data, 0);
    appendLittleEndian16(data, 0);
    appendLittleEndian16(data, width);
    appendLittleEndian16(data, height);
    data.push_back(0x00);
    const auto image = gifImageData(width * height);
    data.insert(data.end(), image.begin(), image.end());
    data.push_back(0x3B);  // trailer
    return data;
}

}  // namespace qor::testing
