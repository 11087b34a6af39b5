#include "Platform/UIKit/UIImage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include <gif_lib.h>
#include <png.h>

// jpeglib.h uses FILE from <cstdio>; jerror.h (its message codes) needs it first.
#include <jpeglib.h>

#include <jerror.h>

namespace qor::platform {

namespace {

// The decoders report failure by longjmp (libpng, libjpeg). Each decode that may be left that way
// runs in a function whose frame, and every frame between it and the library, holds only plain
// values: no destructor is skipped. Their state lives in a struct owned by the caller, so nothing
// that the longjmp could leave indeterminate is read after it.

struct PixelSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

bool withinBudget(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= UIImage::maxPixelsPerSide && height <= UIImage::maxPixelsPerSide;
}

bool startsWith(const Data& data, std::initializer_list<std::uint8_t> signature) {
    return data.size() >= signature.size() && std::equal(signature.begin(), signature.end(), data.begin());
}

// PNG

struct PNGRead {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep row = nullptr;
    PixelSize pixels;
};

[[noreturn]] void pngFailed(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void pngWarned(png_structp, png_const_charp) {}

// Data that ends before the reader's request is a failure like any other: a PNG cut short is no image.
void pngReadBytes(png_structp png, png_bytep out, std::size_t length) {
    auto* read = static_cast<PNGRead*>(png_get_io_ptr(png));
    if (length > read->size - read->offset) png_error(png, "data ends early");
    std::memcpy(out, read->bytes + read->offset, length);
    read->offset += length;
}

// Every row of every pass goes through one row buffer and the file is read up to its end chunk,
// so the whole compressed stream is checked while memory stays at one row.
bool readPNG(PNGRead* read) {
    read->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, read, pngFailed, pngWarned);
    if (read->png == nullptr) return false;
    read->info = png_create_info_struct(read->png);
    if (read->info == nullptr) {
        png_destroy_read_struct(&read->png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(read->png))) {
        if (read->row != nullptr) png_free(read->png, read->row);
        png_destroy_read_struct(&read->png, &read->info, nullptr);
        return false;
    }
    png_set_read_fn(read->png, read, pngReadBytes);
    // The size is refused as the header is read, before any other chunk is looked at; ancillary
    // chunks (text, colour profiles) are skipped unread, as nothing here uses them.
    png_set_user_limits(read->png, UIImage::maxPixelsPerSide, UIImage::maxPixelsPerSide);
    png_set_keep_unknown_chunks(read->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(read->png, read->info);
    read->pixels = {png_get_image_width(read->png, read->info), png_get_image_height(read->png, read->info)};
    if (!withinBudget(read->pixels.width, read->pixels.height)) png_error(read->png, "image too large");
    const int passes = png_set_interlace_handling(read->png);
    png_read_update_info(read->png, read->info);
    read->row = static_cast<png_bytep>(png_malloc(read->png, png_get_rowbytes(read->png, read->info)));
    for (int pass = 0; pass < passes; ++pass) {
        for (std::uint32_t y = 0; y < read->pixels.height; ++y) png_read_row(read->png, read->row, nullptr);
    }
    png_read_end(read->png, nullptr);
    png_free(read->png, read->row);
    png_destroy_read_struct(&read->png, &read->info, nullptr);
    return true;
}

std::optional<PixelSize> pngSize(const Data& data) {
    PNGRead read;
    read.bytes = data.data();
    read.size = data.size();
    if (!readPNG(&read)) return std::nullopt;
    return read.pixels;
}

// JPEG

struct JPEGRead {
    jpeg_decompress_struct decoder;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf failed;
    PixelSize pixels;
};

JPEGRead& jpegRead(j_common_ptr decoder) { return *static_cast<JPEGRead*>(decoder->client_data); }

[[noreturn]] void jpegFailed(j_common_ptr decoder) { std::longjmp(jpegRead(decoder).failed, 1); }

// The decoder makes up an end of image where the data runs out and only warns: that is data that
// ends before the image does. Other warnings (damaged entropy data) leave an image, as they do in
// a browser.
void jpegMessage(j_common_ptr decoder, int level) {
    if (level < 0 && decoder->err->msg_code == JWRN_JPEG_EOF) jpegFailed(decoder);
}

void jpegSilent(j_common_ptr) {}

void jpegProgress(j_common_ptr decoder) {
    if (reinterpret_cast<j_decompress_ptr>(decoder)->input_scan_number > UIImage::maxJPEGScans) jpegFailed(decoder);
}

// The rows come out at an eighth of the size, so every scan's entropy data is decoded (and a file
// cut short found) with little of the transform's work, through a one-row buffer.
bool readJPEG(JPEGRead* read, const std::uint8_t* bytes, std::size_t size) {
    j_decompress_ptr decoder = &read->decoder;
    decoder->err = jpeg_std_error(&read->errors);
    read->errors.error_exit = jpegFailed;
    read->errors.emit_message = jpegMessage;
    read->errors.output_message = jpegSilent;
    decoder->client_data = read;
    if (setjmp(read->failed)) {
        jpeg_destroy_decompress(decoder);
        return false;
    }
    jpeg_create_decompress(decoder);
    read->progress.progress_monitor = jpegProgress;
    decoder->progress = &read->progress;
    decoder->mem->max_memory_to_use = UIImage::maxJPEGDecoderBytes;
    jpeg_mem_src(decoder, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(decoder, TRUE);
    read->pixels = {decoder->image_width, decoder->image_height};
    if (!withinBudget(read->pixels.width, read->pixels.height)) jpegFailed(reinterpret_cast<j_common_ptr>(decoder));
    decoder->scale_num = 1;
    decoder->scale_denom = 8;
    decoder->dct_method = JDCT_IFAST;
    decoder->do_fancy_upsampling = FALSE;
    jpeg_start_decompress(decoder);
    JSAMPARRAY row = (*decoder->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(decoder), JPOOL_IMAGE,
                                                   decoder->output_width * decoder->output_components, 1);
    while (decoder->output_scanline < decoder->output_height) jpeg_read_scanlines(decoder, row, 1);
    jpeg_finish_decompress(decoder);
    jpeg_destroy_decompress(decoder);
    return true;
}

std::optional<PixelSize> jpegSize(const Data& data) {
    JPEGRead read{};
    if (!readJPEG(&read, data.data(), data.size())) return std::nullopt;
    return read.pixels;
}

// GIF: giflib reports failure by return codes, so this is ordinary code.

struct GIFInput {
    const Data& data;
    std::size_t offset = 0;
};

int gifReadBytes(GifFileType* file, GifByteType* out, int length) {
    auto* input = static_cast<GIFInput*>(file->UserData);
    const auto count = std::min(static_cast<std::size_t>(std::max(length, 0)), input->data.size() - input->offset);
    std::memcpy(out, input->data.data() + input->offset, count);
    input->offset += count;
    return static_cast<int>(count);
}

struct GIFClose {
    void operator()(GifFileType* file) const { DGifCloseFile(file, nullptr); }
};
using GIFFile = std::unique_ptr<GifFileType, GIFClose>;

// Walks sub-blocks up to their terminator without looking at them.
bool skipSubBlocks(GifFileType* file, GifByteType* block) {
    while (block != nullptr) {
        if (DGifGetCodeNext(file, &block) == GIF_ERROR) return false;
    }
    return true;
}

bool skipExtension(GifFileType* file) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(file, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
        if (DGifGetExtensionNext(file, &block) == GIF_ERROR) return false;
    }
    return true;
}

constexpr int maxLZWCodeWidth = 12;
constexpr int lzwTableSize = 1 << maxLZWCodeWidth;

// A frame's LZW codes, read from the data sub-blocks that giflib hands over one at a time: each
// code is the next `width_` bits, low bits first. The width follows giflib's own rule: it starts a
// bit above the minimum code size, again after each clear code, and grows by one (up to 12) when
// the codes read since then pass its range.
class LZWCodeReader {
public:
    LZWCodeReader(GifFileType* file, GifByteType* firstBlock, int minimumCodeSize)
        : file_(file), clearCode_(1 << minimumCodeSize) {
        useBlock(firstBlock);
        restart();
    }

    int clearCode() const { return clearCode_; }
    int endCode() const { return clearCode_ + 1; }

    // The next code, or -1 when the data ends (or cannot be read) before it.
    int next() {
        while (bitCount_ < width_) {
            if (byte_ == end_ && !nextBlock()) return -1;
            bits_ |= static_cast<std::uint32_t>(*byte_++) << bitCount_;
            bitCount_ += 8;
        }
        const auto code = static_cast<int>(bits_ & ((1U << width_) - 1));
        bits_ >>= width_;
        bitCount_ -= width_;
        if (codeCount_ <= lzwTableSize && ++codeCount_ > widthRange_ && width_ < maxLZWCodeWidth) {
            widthRange_ <<= 1;
            ++width_;
        }
        return code;
    }

    // After a clear code.
    void restart() {
        codeCount_ = clearCode_ + 2;
        width_ = std::countr_zero(static_cast<unsigned>(clearCode_)) + 1;
        widthRange_ = 1 << width_;
    }

    // Reads the sub-blocks left, unlooked at, up to their terminator.
    bool skipRest() { return block_ == nullptr || skipSubBlocks(file_, block_); }

private:
    void useBlock(GifByteType* block) {
        block_ = block;
        byte_ = block == nullptr ? nullptr : block + 1;
        end_ = block == nullptr ? nullptr : byte_ + block[0];
    }

    // False at the terminator: the codes end there. (The block comes back through a local, so the
    // reader's state never has its address given away and can stay in registers.)
    bool nextBlock() {
        GifByteType* block = nullptr;
        if (block_ == nullptr || DGifGetCodeNext(file_, &block) == GIF_ERROR || block == nullptr) {
            block_ = nullptr;
            return false;
        }
        useBlock(block);
        return true;
    }

    GifFileType* file_;
    const int clearCode_;
    GifByteType* block_ = nullptr;  // giflib's buffer, valid up to the next call; its first byte is its length
    const GifByteType* byte_ = nullptr;
    const GifByteType* end_ = nullptr;
    std::uint32_t bits_ = 0;  // read and not yet taken, `bitCount_` of them
    int bitCount_ = 0;
    int width_ = 0;
    int widthRange_ = 0;
    int codeCount_ = 0;  // as giflib counts: from the first table entry on, each code read adds one
};

// Whether the codes make `pixels` pixels before the end code: each is a colour, the clear code, or
// an entry of the table built so far (or the one it is about to add), and no entry comes straight
// after a clear code. Only each entry's length is kept, not its pixels. giflib's line decoder
// empties its whole table (16 KiB) at every clear code, which an encoder that keeps its codes
// short sends every second pixel: seconds for a frame at the budget, where this costs a few
// operations a code.
bool makesPixels(LZWCodeReader& codes, std::uint64_t pixels) {
    const int clear = codes.clearCode();
    const int firstEntry = clear + 2;
    std::array<std::uint16_t, lzwTableSize> lengths{};
    std::fill_n(lengths.begin(), clear, 1);
    int nextEntry = firstEntry;
    int previous = -1;  // none at the start and after a clear code
    std::uint64_t made = 0;
    while (made < pixels) {
        const int code = codes.next();
        if (code < 0 || code == codes.endCode()) return false;
        if (code == clear) {
            codes.restart();
            nextEntry = firstEntry;
            previous = -1;
            continue;
        }
        if (code >= clear && (previous < 0 || code > nextEntry)) return false;
        if (previous >= 0 && nextEntry < lzwTableSize) {
            lengths[nextEntry++] = static_cast<std::uint16_t>(lengths[previous] + 1);
        }
        made += lengths[code];
        previous = code;
    }
    return codes.skipRest();  // what follows the last pixel is not looked at
}

// The first frame's codes are checked; later ones only have their compressed data skipped.
bool readFrame(GifFileType* file) {
    if (DGifGetImageDesc(file) == GIF_ERROR) return false;
    const GifImageDesc& frame = file->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0 ||
        frame.Left + frame.Width > file->SWidth || frame.Top + frame.Height > file->SHeight) {
        return false;  // a frame reaching outside the screen
    }
    int minimumCodeSize = 0;  // giflib refuses one above 11
    GifByteType* block = nullptr;
    if (DGifGetCode(file, &minimumCodeSize, &block) == GIF_ERROR) return false;
    if (file->ImageCount > 1) return skipSubBlocks(file, block);
    LZWCodeReader codes(file, block, minimumCodeSize);
    return makesPixels(codes, static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height));
}

// An image when its first frame decodes and the file holds its frames (within the budget) up to
// the trailer.
std::optional<PixelSize> gifSize(const Data& data) {
    GIFInput input{data};
    int error = 0;
    const GIFFile file(DGifOpen(&input, gifReadBytes, &error));
    if (!file || !withinBudget(file->SWidth, file->SHeight)) return std::nullopt;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(file.get(), &record) == GIF_ERROR) return std::nullopt;
        if (record == TERMINATE_RECORD_TYPE) break;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!skipExtension(file.get())) return std::nullopt;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (file->ImageCount >= UIImage::maxGIFFrames || !readFrame(file.get())) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (file->ImageCount == 0) return std::nullopt;
    return PixelSize{static_cast<std::uint32_t>(file->SWidth), static_cast<std::uint32_t>(file->SHeight)};
}

std::optional<PixelSize> pixelSize(const Data& data) {
    if (startsWith(data, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return pngSize(data);
    if (startsWith(data, {0xFF, 0xD8, 0xFF})) return jpegSize(data);
    if (startsWith(data, {'G', 'I', 'F', '8', '7', 'a'}) || startsWith(data, {'G', 'I', 'F', '8', '9', 'a'})) {
        return gifSize(data);
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<UIImage> UIImage::withData(const Data& data) {
    const auto pixels = pixelSize(data);
    if (!pixels) return nullptr;
    return std::make_shared<UIImage>(CGSize{static_cast<double>(pixels->width), static_cast<double>(pixels->height)});
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
