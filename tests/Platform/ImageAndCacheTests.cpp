#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Foundation/NSCache.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/UIImage.h"
#include "testing/TempDirectory.h"
#include "testing/TestImages.h"

namespace qor::platform {
namespace {

TEST(UIImage, DecodesPNGJPEGAndGIFToTheirPixelSizeAndRefusesEverythingElse) {
    struct Case {
        std::string name;
        Data data;
        CGSize size;
    };
    const std::vector<Case> images = {
        {"png", testing::makePNG(37, 21), {37, 21}},
        {"jpeg", testing::makeJPEG(64, 48), {64, 48}},
        {"jpeg-progressive", testing::makeJPEG(64, 48, true), {64, 48}},
        {"gif", testing::makeGIF(3, 2), {3, 2}},
        {"gif-wide", testing::makeGIF(300, 1), {300, 1}},
    };
    qor::testing::TempDirectory folder;
    for (const auto& image : images) {
        const auto decoded = UIImage::withData(image.data);
        ASSERT_NE(decoded, nullptr) << image.name;
        EXPECT_EQ(decoded->size(), image.size) << image.name;
        const auto path = folder.write(image.name, stringFromData(image.data));
        ASSERT_NE(UIImage::withContentsOfFile(path.string()), nullptr) << image.name;

        for (const std::size_t keep : {image.data.size() / 2, std::size_t{12}}) {
            const Data truncated(image.data.begin(), image.data.begin() + static_cast<long>(keep));
            EXPECT_EQ(UIImage::withData(truncated), nullptr) << image.name << " cut to " << keep;
        }
    }

    const Data bmpHeader{'B', 'M', 0x3a, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
    for (const auto& notAnImage :
         {Data{}, dataFromString("<html>not an image</html>"), bmpHeader, dataFromString(std::string(64, '\0'))}) {
        EXPECT_EQ(UIImage::withData(notAnImage), nullptr);
    }
    EXPECT_EQ(UIImage::withContentsOfFile(folder.file("missing.png").string()), nullptr);
    EXPECT_EQ(UIImage::withContentsOfFile(folder.path().string()), nullptr);  // a folder
}

Data fromBase64(std::string_view text) { return plist::base64Decode(text).value(); }

// A header and two-colour palette (19 bytes), four frames of a graphic control extension, a
// 1x1 image descriptor at 0,0 and its pixel (23 bytes each), and the trailer: on an 8192x8192
// screen, which costs gigabytes to a decoder that composites every frame onto it.
const Data hostileGIF = fromBase64(
    "R0lGODlhACAAIPAAAAAAAP///yH5BAQKAAAALAAAAAABAAEAAAICRAEAIfkEBAoAAAAsAAAAAAEAAQAAAgJEAQAh+QQECgAAACwAAAAAAQABAAAC"
    "AkQBACH5BAQKAAAALAAAAAABAAEAAAICRAEAOw==");

// That GIF's frame repeated `frames` times on a screen of the given size.
Data gifOfFrames(int width, int height, int frames) {
    Data gif;
    gif.reserve(19 + 23 * static_cast<std::size_t>(frames) + 1);  // also keeps GCC's bounds warning quiet at -O3
    gif.assign(hostileGIF.begin(), hostileGIF.begin() + 19);
    gif[6] = static_cast<std::uint8_t>(width & 0xFF);
    gif[7] = static_cast<std::uint8_t>(width >> 8);
    gif[8] = static_cast<std::uint8_t>(height & 0xFF);
    gif[9] = static_cast<std::uint8_t>(height >> 8);
    for (int frame = 0; frame < frames; ++frame)
        gif.insert(gif.end(), hostileGIF.begin() + 19, hostileGIF.begin() + 42);
    gif.push_back(0x3B);
    return gif;
}

TEST(UIImage, RefusesHostileImagesByTheirHeaderAndDecodesNoMoreThanTheFirstFrame) {
    const int side = UIImage::maxPixelsPerSide;
    struct Case {
        std::string name;
        Data data;
        std::optional<CGSize> size;  // nullopt: no image
    };
    const std::vector<Case> cases = {
        {"jpeg whose table runs past its data", fromBase64("/9j/xHMAAXPF"), std::nullopt},
        {"png with an empty first IDAT", fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAgAAAAICAYAAABLAAAAAAAAAElEQVQ="),
         std::nullopt},
        {"gif on an 8192x8192 screen", hostileGIF, std::nullopt},
        {"gif on a screen past the budget", gifOfFrames(side + 1, side, 1), std::nullopt},
        {"gif on the largest screen", gifOfFrames(side, side, 1), CGSize{double(side), double(side)}},
        // A clear code every second pixel: the check reads all its codes, as fast as for the others.
        {"gif filling the largest screen", testing::makeGIF(side, side), CGSize{double(side), double(side)}},
        {"gif of 100 frames on 1000x1000", gifOfFrames(1000, 1000, 100), CGSize{1000, 1000}},
        {"gif of the most frames", gifOfFrames(1, 1, UIImage::maxGIFFrames), CGSize{1, 1}},
        {"gif of one frame too many", gifOfFrames(1, 1, UIImage::maxGIFFrames + 1), std::nullopt},
        {"png past the budget", testing::makePNG(side + 1, 1), std::nullopt},
        {"png at the budget", testing::makePNG(1, side), CGSize{1, double(side)}},
        {"jpeg past the budget", testing::makeJPEG(1, side + 1), std::nullopt},
        {"jpeg at the budget", testing::makeJPEG(side, 1), CGSize{double(side), 1}},
    };
    for (const auto& image : cases) {
        const auto decoded = UIImage::withData(image.data);
        ASSERT_EQ(decoded != nullptr, image.size.has_value()) << image.name;
        if (decoded) {
            EXPECT_EQ(decoded->size(), *image.size) << image.name;
        }
    }
    // Later frames are not decoded, but a file that ends before its last one is still no image.
    Data cut = gifOfFrames(2, 2, 3);
    cut.resize(cut.size() - 10);
    EXPECT_EQ(UIImage::withData(cut), nullptr);
}

// A seeded loop over damaged copies of real files: each ends as an image within the budget or as
// the failure, and (with the sanitizers) without touching memory it does not own. A copy that is
// only cut short is never an image.
TEST(UIImage, EveryTruncatedOrMutatedCopyOfAnImageEndsAsAnImageOrTheFailure) {
    const std::vector<Data> originals = {testing::makePNG(23, 17), testing::makeJPEG(40, 24),
                                         testing::makeJPEG(33, 20, true), testing::makeGIF(9, 7), gifOfFrames(3, 3, 4)};
    std::mt19937 random(20250125);
    int images = 0;
    for (const auto& original : originals) {
        ASSERT_NE(UIImage::withData(original), nullptr);
        for (int copy = 0; copy < 800; ++copy) {
            Data damaged = original;
            const bool cut = copy % 3 != 1;
            const bool mutated = copy % 3 != 0;
            if (cut) damaged.resize(std::uniform_int_distribution<std::size_t>(0, original.size() - 1)(random));
            for (int flip = mutated && !damaged.empty() ? 1 + copy % 4 : 0; flip > 0; --flip) {
                damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
            }
            const auto decoded = UIImage::withData(damaged);
            if (!decoded) continue;
            ++images;
            EXPECT_TRUE(mutated) << "cut to " << damaged.size() << " of " << original.size();
            const auto [width, height] = decoded->size();
            EXPECT_TRUE(width > 0 && height > 0 && width <= UIImage::maxPixelsPerSide &&
                        height <= UIImage::maxPixelsPerSide);
        }
    }
    EXPECT_GT(images, 0);  // some mutations leave a file whole enough to be read
}

TEST(NSCache, KeepsTheMostRecentlyUsedEntriesUpToItsLimit) {
    NSCache<std::string, int> cache(3);
    cache.setObject(1, "a");
    cache.setObject(2, "b");
    cache.setObject(3, "c");
    EXPECT_EQ(cache.object("a"), 1);  // a is now the most recently used
    cache.setObject(4, "d");          // b leaves
    EXPECT_EQ(cache.object("b"), std::nullopt);
    cache.setObject(30, "c");  // replacing keeps the count
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.object("c"), 30);
    cache.removeObject("a");
    cache.removeObject("nothing");
    EXPECT_EQ(cache.count(), 2u);
    cache.removeAllObjects();
    EXPECT_EQ(cache.object("d"), std::nullopt);
}

TEST(NSCache, StaysWithinItsLimitUnderConcurrentUseAndReleasesWhatLeaves) {
    NSCache<URL, std::shared_ptr<UIImage>> cache(500);
    const auto image = std::make_shared<UIImage>(CGSize{1, 1});
    std::atomic<int> hits{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back([&, thread] {
            for (int index = 0; index < 2000; ++index) {
                const auto url = *URL::make("https://img.example.test/" + std::to_string((index * 7 + thread) % 900));
                if (const auto found = cache.object(url)) {
                    if (*found == image) ++hits;
                } else {
                    cache.setObject(image, url);
                }
                if (index % 500 == 0) cache.removeObject(url);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_LE(cache.count(), 500u);
    EXPECT_GT(hits.load(), 0);
    cache.removeAllObjects();
    EXPECT_EQ(image.use_count(), 1);  // nothing left holds the image
}

}  // namespace
}  // namespace qor::platform
