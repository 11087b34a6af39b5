#include "testing/TestImages.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <png.h>

// After <cstdio>: jpeglib.h uses FILE.
#include <jpeglib.h>

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

void appendLittleEndian16(Data& data, int value) {
    data.push_back(static_cast<std::uint8_t>(value & 0xFF));
    data.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// LZW with a minimum code size of 2: codes stay 3 bits wide because a clear code (4) comes
// before every second pixel, so the table never grows to need a fourth bit. (An encoder that
// keeps its codes short does this; it makes a large image's data the slowest to check.)
Data gifImageData(int pixelCount) {
    Data packed;
    packed.reserve(static_cast<std::size_t>(pixelCount) * 9 / 16 + 2);
    unsigned bits = 0;
    int bitCount = 0;
    const auto put = [&](unsigned code) {
        bits |= code << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    for (int index = 0; index < pixelCount; ++index) {
        if (index % 2 == 0) put(4);
        put(index % 3 == 0 ? 1 : 0);
    }
    put(5);  // end of information
    if (bitCount > 0) packed.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    Data blocks{2};  // the minimum code size
    blocks.reserve(packed.size() + packed.size() / 255 + 3);
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

// Through the library's simplified writer, which reports failure by its return value.
Data makePNG(int width, int height) {
    const auto pixels = gradient(width, height);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) std::abort();
    Data data(size);
    if (!png_image_write_to_memory(&image, data.data(), &size, 0, pixels.data(), 0, nullptr)) std::abort();
    data.resize(size);
    return data;
}

// The library's default error handler ends the process, which is right for a test's own input.
Data makeJPEG(int width, int height, bool progressive) {
    auto pixels = gradient(width, height);
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = static_cast<JDIMENSION>(width);
    encoder.image_height = static_cast<JDIMENSION>(height);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 90, TRUE);
    if (progressive) jpeg_simple_progression(&encoder);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = pixels.data() + static_cast<std::size_t>(encoder.next_scanline) * 3 * width;
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    Data data(buffer, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
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
