// The artwork: the generator gives exactly the checked-in files, and those files are
// what the resource script and the dialogs expect of them.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "Artwork.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes CheckedIn(const std::string& name) { return ReadFile(fs::path(TARVIK_ART_DIR) / name); }

std::uint32_t U16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }
std::int32_t S32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tarvik-art-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

TEST(Artwork, RegeneratingGivesTheCheckedInFilesByteForByte) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    std::string error;
    ASSERT_TRUE(tarvik::art::WriteArtwork(folder.Path().string(), error)) << error;

    std::set<std::string> generated;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        const std::string name = entry.path().filename().string();
        generated.insert(name);
        const Bytes fresh = ReadFile(entry.path());
        const Bytes stored = CheckedIn(name);
        ASSERT_FALSE(stored.empty()) << name << " is not checked in beside the generator";
        EXPECT_EQ(fresh.size(), stored.size()) << name;
        EXPECT_TRUE(fresh == stored) << name << " differs: run tarvik-artwork on src/resources/art";
    }
    // Every picture beside the generator is one it makes: none is left over.
    std::set<std::string> stored;
    for (const auto& entry : fs::directory_iterator(TARVIK_ART_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".bmp" || ext == ".ico" || ext == ".jpg") stored.insert(entry.path().filename().string());
    }
    EXPECT_EQ(generated, stored);
    EXPECT_EQ(generated.size(), 8u);
}

TEST(Artwork, TwoRunsInOneProcessAgree) {
    const auto first = tarvik::art::GenerateArtwork();
    const auto second = tarvik::art::GenerateArtwork();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_TRUE(first[i].bytes == second[i].bytes) << first[i].name;
}

// A 24-bit bottom-up BMP of one picture, read back.
struct Bmp {
    explicit Bmp(const std::string& name) : bytes(CheckedIn(name)) {}
    bool Valid() const {
        return bytes.size() >= 54 && bytes[0] == 'B' && bytes[1] == 'M' && U32(bytes, 2) == bytes.size() &&
               U32(bytes, 14) == 40 && U16(bytes, 26) == 1 && U16(bytes, 28) == 24 && U32(bytes, 30) == 0 &&
               Height() > 0 && U32(bytes, 10) + Stride() * static_cast<std::uint32_t>(Height()) == bytes.size();
    }
    std::int32_t Width() const { return S32(bytes, 18); }
    std::int32_t Height() const { return S32(bytes, 22); }  // positive: bottom-up
    std::uint32_t Stride() const { return (static_cast<std::uint32_t>(Width()) * 3 + 3) & ~3u; }
    // Red, green, blue of the pixel at x, y counted from the top.
    std::uint32_t Rgb(int x, int y) const {
        const std::size_t at = U32(bytes, 10) + Stride() * static_cast<std::uint32_t>(Height() - 1 - y) +
                               static_cast<std::size_t>(x) * 3;
        return (bytes[at + 2] << 16) | (bytes[at + 1] << 8) | bytes[at];
    }
    Bytes bytes;
};

TEST(Artwork, BitmapsAre24BitBottomUpAtTheirSizes) {
    const struct {
        const char* name;
        int width, height;
    } sizes[] = {{"Titulo.bmp", 17, 15},         {"Panel.bmp", 263, 62},       {"Separator.bmp", 4, 24},
                 {"GlyphVariables.bmp", 19, 19}, {"GlyphObjects.bmp", 19, 19}, {"GlyphFiles.bmp", 19, 19}};
    for (const auto& expected : sizes) {
        const Bmp bmp(expected.name);
        ASSERT_TRUE(bmp.Valid()) << expected.name;
        EXPECT_EQ(bmp.Width(), expected.width) << expected.name;
        EXPECT_EQ(bmp.Height(), expected.height) << expected.name;
    }
}

TEST(Artwork, GlyphsStandOnPureMagentaWithoutAPinkFringe) {
    for (const char* name : {"GlyphVariables.bmp", "GlyphObjects.bmp", "GlyphFiles.bmp"}) {
        const Bmp bmp(name);
        ASSERT_TRUE(bmp.Valid()) << name;
        EXPECT_EQ(bmp.Rgb(0, 0), 0xFF00FFu) << name;
        EXPECT_EQ(bmp.Rgb(18, 18), 0xFF00FFu) << name;
        int drawn = 0;
        for (int y = 0; y < 19; ++y) {
            for (int x = 0; x < 19; ++x) {
                const std::uint32_t c = bmp.Rgb(x, y);
                if (c == 0xFF00FFu) continue;
                ++drawn;
                // Edge pixels are flattened onto the button face, never onto magenta.
                const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
                EXPECT_FALSE(r > 160 && b > 160 && g < r - 60 && g < b - 60)
                    << name << " has a magenta-tinted pixel at " << x << "," << y;
            }
        }
        EXPECT_GT(drawn, 19 * 19 / 4) << name;
        EXPECT_LT(drawn, 19 * 19) << name;
    }
}

TEST(Artwork, TheTitlePictureIsAnOrangeDiscOnTheTabsColour) {
    const Bmp bmp("Titulo.bmp");
    ASSERT_TRUE(bmp.Valid());
    EXPECT_EQ(bmp.Rgb(0, 0), 0xD6D6C7u);  // red 214, green 214, blue 199
    const std::uint32_t disc = bmp.Rgb(3, 7);
    EXPECT_GT(static_cast<int>(disc >> 16), static_cast<int>((disc >> 8) & 0xFF) + 40);
    EXPECT_LT(static_cast<int>(disc & 0xFF), 80);
}

TEST(Artwork, PanelTopLineFadesToTheRightAndTheLeftEdgeKeepsItsLine) {
    const Bmp bmp("Panel.bmp");
    ASSERT_TRUE(bmp.Valid());
    const auto grey = [&](int x, int y) { return static_cast<int>(bmp.Rgb(x, y) & 0xFF); };
    EXPECT_LT(grey(2, 0), grey(30, 40) - 40);    // dark at the left of the top line
    EXPECT_GE(grey(262, 0), grey(262, 40) - 2);  // gone at the right
    for (int x = 4; x + 16 < 263; x += 16) EXPECT_LE(grey(x, 0), grey(x + 16, 0)) << x;
    EXPECT_EQ(grey(0, 61), grey(0, 30));
    EXPECT_LT(grey(0, 61), grey(30, 40) - 40);
}

TEST(Artwork, IconHoldsThreeSizesWithAlphaAndAMaskThatAgrees) {
    const Bytes ico = CheckedIn("MainIcon.ico");
    ASSERT_GE(ico.size(), 6u + 3 * 16);
    EXPECT_EQ(U16(ico, 0), 0u);
    EXPECT_EQ(U16(ico, 2), 1u);
    ASSERT_EQ(U16(ico, 4), 3u);
    const int sizes[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        const int size = sizes[i];
        EXPECT_EQ(ico[entry], size);
        EXPECT_EQ(U16(ico, entry + 6), 32u);
        const std::uint32_t length = U32(ico, entry + 8), offset = U32(ico, entry + 12);
        ASSERT_LE(offset + length, ico.size());
        EXPECT_EQ(U32(ico, offset), 40u);
        EXPECT_EQ(S32(ico, offset + 4), size);
        EXPECT_EQ(S32(ico, offset + 8), size * 2);  // colour and mask
        EXPECT_EQ(U16(ico, offset + 14), 32u);
        const std::uint32_t maskStride = ((size + 31) / 32) * 4;
        ASSERT_EQ(length, 40u + size * size * 4u + maskStride * size);
        int transparent = 0, opaque = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const std::uint8_t alpha = ico[offset + 40 + (static_cast<std::size_t>(y) * size + x) * 4 + 3];
                const std::uint8_t maskByte = ico[offset + 40 + size * size * 4 + y * maskStride + x / 8];
                const bool masked = (maskByte & (0x80 >> (x % 8))) != 0;
                EXPECT_EQ(masked, alpha == 0) << size << " px at " << x << "," << y;
                transparent += alpha == 0;
                opaque += alpha == 255;
            }
        }
        EXPECT_GT(transparent, 0) << size;
        EXPECT_GT(opaque, size * size / 2) << size;
    }
}

TEST(Artwork, AboutPictureIsABaseline150By150JpegOfThreeComponents) {
    const Bytes jpeg = CheckedIn("About.jpg");
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    // Walk the markers up to the frame header.
    std::size_t at = 2;
    int frame = 0;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const int marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            frame = marker;
            ASSERT_LE(at + 10, jpeg.size());
            EXPECT_EQ(jpeg[at + 4], 8);                                       // precision
            EXPECT_EQ((jpeg[at + 5] << 8) | jpeg[at + 6], 150);               // height
            EXPECT_EQ((jpeg[at + 7] << 8) | jpeg[at + 8], 150);               // width
            EXPECT_EQ(jpeg[at + 9], 3);                                       // components
            break;
        }
        at += 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
    }
    EXPECT_EQ(frame, 0xC0) << "not a baseline frame";

    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(info.num_components, 3);
    EXPECT_EQ(info.jpeg_color_space, JCS_YCbCr);
    EXPECT_FALSE(info.progressive_mode);
    jpeg_destroy_decompress(&info);
}

}  // namespace
