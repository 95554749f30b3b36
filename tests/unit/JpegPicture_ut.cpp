// The About picture's decoder: the real picture, and data that must give an empty
// picture without a crash, a jump out of the test or a line on stderr.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "about/UJpegPicture.h"

namespace tarvik::about {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes AboutPicture() {
#if defined(_WIN32)
    const std::string drive = "Z:";  // the Unix root, as Wine sees it
#else
    const std::string drive;
#endif
    std::ifstream file(drive + TARVIK_ART_DIR + "/About.jpg", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Bgr {
    int b, g, r;
};

Bgr PixelAt(const ui::PixelPicture& picture, int x, int y) {
    const std::size_t at = picture.stride * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) * 3;
    return {picture.bgr[at], picture.bgr[at + 1], picture.bgr[at + 2]};
}

// Decodes with stderr captured: a decoder that prints fails the test.
ui::PixelPicture DecodeQuietly(const Bytes& data) {
    ::testing::internal::CaptureStderr();
    ui::PixelPicture picture = DecodeJpeg(data.data(), data.size());
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");
    return picture;
}

void ExpectEmpty(const ui::PixelPicture& picture) {
    EXPECT_TRUE(picture.bgr.empty());
    EXPECT_EQ(picture.width, 0);
    EXPECT_EQ(picture.height, 0);
    EXPECT_EQ(picture.stride, 0u);
}

TEST(JpegPicture, TheAboutPictureDecodesTo150By150BlueGreenRedRowsTopDown) {
    const Bytes jpeg = AboutPicture();
    ASSERT_GT(jpeg.size(), 1000u);
    const ui::PixelPicture picture = DecodeQuietly(jpeg);
    ASSERT_FALSE(picture.bgr.empty());
    EXPECT_EQ(picture.width, 150);
    EXPECT_EQ(picture.height, 150);
    EXPECT_EQ(picture.stride, 452u);  // 450 bytes padded to a multiple of 4
    EXPECT_EQ(picture.bgr.size(), 452u * 150);

    // The ground is blue, darker at the top than at the bottom: rows run top-down.
    const Bgr top = PixelAt(picture, 4, 2), bottom = PixelAt(picture, 4, 147);
    EXPECT_GT(top.b, top.r + 60);
    EXPECT_GT(bottom.b, bottom.r + 60);
    EXPECT_LT(top.b + top.g + top.r, bottom.b + bottom.g + bottom.r);
    // The front key's face is nearly white beside the bolt, the bolt is orange.
    const Bgr face = PixelAt(picture, 50, 80);
    EXPECT_GT(face.r, 200);
    EXPECT_GT(face.g, 200);
    EXPECT_GT(face.b, 200);
    const Bgr bolt = PixelAt(picture, 79, 91);
    EXPECT_GT(bolt.r, 200);
    EXPECT_LT(bolt.b, 90);
    EXPECT_GT(bolt.r, bolt.g + 50);
}

TEST(JpegPicture, ATruncatedPictureGivesAnEmptyResult) {
    const Bytes jpeg = AboutPicture();
    ASSERT_GT(jpeg.size(), 1000u);
    for (const std::size_t keep : {jpeg.size() - 2, jpeg.size() / 2, std::size_t{600}, std::size_t{20}, std::size_t{2},
                                   std::size_t{1}}) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(keep));
        ExpectEmpty(DecodeQuietly(cut));
    }
}

TEST(JpegPicture, GarbageAndDamagedDataGiveAnEmptyResult) {
    Bytes garbage(4096);
    std::uint32_t seed = 12345;
    for (auto& b : garbage) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    ExpectEmpty(DecodeQuietly(garbage));

    // A start-of-image marker and then garbage.
    Bytes marked = garbage;
    marked[0] = 0xFF;
    marked[1] = 0xD8;
    ExpectEmpty(DecodeQuietly(marked));

    // The real picture with its entropy-coded data overwritten in the middle.
    Bytes damaged = AboutPicture();
    ASSERT_GT(damaged.size(), 1000u);
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] = 0xFF;
    ExpectEmpty(DecodeQuietly(damaged));

    ExpectEmpty(DecodeJpeg(nullptr, 100));
    ExpectEmpty(DecodeJpeg(garbage.data(), 0));
}

TEST(JpegPicture, AHeaderClaimingAHugePictureGivesAnEmptyResultWithoutAllocatingIt) {
    Bytes jpeg = AboutPicture();
    ASSERT_GT(jpeg.size(), 1000u);
    // Find the baseline frame header and make it claim 65000 x 65000 pixels.
    bool patched = false;
    for (std::size_t at = 2; at + 9 < jpeg.size() && jpeg[at] == 0xFF;) {
        if (jpeg[at + 1] == 0xC0) {
            jpeg[at + 5] = jpeg[at + 7] = 0xFD;
            jpeg[at + 6] = jpeg[at + 8] = 0xE8;
            patched = true;
            break;
        }
        at += 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
    }
    ASSERT_TRUE(patched);
    ExpectEmpty(DecodeQuietly(jpeg));
}

}  // namespace
}  // namespace tarvik::about
