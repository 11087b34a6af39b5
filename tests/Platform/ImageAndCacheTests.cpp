#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Foundation/NSCache.h"
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
