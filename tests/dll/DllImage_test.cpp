// Reads the built DLLs as files: what they export and what they import is the binary
// contract a host relies on, whatever the compiler did with names and runtimes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"

namespace {

class PeImage {
public:
    explicit PeImage(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (bytes_.size() < 0x40 || U16(0) != 0x5A4D) {
            return;
        }
        const std::uint32_t pe = U32(0x3C);
        if (U32(pe) != 0x00004550) {
            return;
        }
        machine_ = U16(pe + 4);
        const std::uint16_t sections = U16(pe + 6);
        const std::uint16_t optionalSize = U16(pe + 20);
        const std::uint32_t optional = pe + 24;
        const bool plus = U16(optional) == 0x20B;
        directories_ = optional + (plus ? 112 : 96);
        for (std::uint32_t s = 0; s < sections; ++s) {
            const std::uint32_t header = optional + optionalSize + s * 40;
            sections_.push_back({U32(header + 12), U32(header + 8), U32(header + 20)});
        }
        valid_ = true;
    }

    bool Valid() const { return valid_; }
    std::uint16_t Machine() const { return machine_; }

    std::vector<std::string> ExportNames() const {
        std::vector<std::string> names;
        const std::uint32_t directory = Offset(U32(directories_));
        if (directory == 0) {
            return names;
        }
        const std::uint32_t count = U32(directory + 24);
        const std::uint32_t table = Offset(U32(directory + 32));
        for (std::uint32_t i = 0; i < count; ++i) {
            names.push_back(Text(Offset(U32(table + 4 * i))));
        }
        return names;
    }

    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> dlls;
        std::uint32_t descriptor = Offset(U32(directories_ + 8));
        while (descriptor != 0 && descriptor + 20 <= bytes_.size() && U32(descriptor + 12) != 0) {
            dlls.push_back(Text(Offset(U32(descriptor + 12))));
            descriptor += 20;
        }
        return dlls;
    }

    struct Resource {
        std::uint32_t type = 0;
        std::string name;  // empty for a numbered resource
        std::vector<unsigned char> data;  // of its first language
    };

    // The named resources at the second level of the resource tree, by type number.
    std::vector<Resource> Resources() const {
        std::vector<Resource> found;
        const std::uint32_t root = Offset(U32(directories_ + 16));
        if (root == 0) {
            return found;
        }
        const auto entries = [&](std::uint32_t directory) {
            std::vector<std::pair<std::uint32_t, std::uint32_t>> list;  // name field, offset field
            const std::uint32_t count = U16(directory + 12) + U16(directory + 14);
            for (std::uint32_t i = 0; i < count && directory + 24 + 8 * i <= bytes_.size(); ++i) {
                list.emplace_back(U32(directory + 16 + 8 * i), U32(directory + 20 + 8 * i));
            }
            return list;
        };
        for (const auto& [typeField, typeOffset] : entries(root)) {
            if ((typeField & 0x80000000u) != 0 || (typeOffset & 0x80000000u) == 0) {
                continue;
            }
            for (const auto& [nameField, nameOffset] : entries(root + (typeOffset & 0x7FFFFFFFu))) {
                Resource resource;
                resource.type = typeField;
                if ((nameField & 0x80000000u) != 0) {
                    const std::uint32_t at = root + (nameField & 0x7FFFFFFFu);
                    for (std::uint32_t c = 0; c < U16(at); ++c) {
                        resource.name += static_cast<char>(U16(at + 2 + 2 * c));
                    }
                }
                if ((nameOffset & 0x80000000u) == 0) {
                    continue;
                }
                const auto languages = entries(root + (nameOffset & 0x7FFFFFFFu));
                if (languages.empty() || (languages[0].second & 0x80000000u) != 0) {
                    continue;
                }
                const std::uint32_t entry = root + languages[0].second;
                const std::uint32_t data = Offset(U32(entry));
                const std::uint32_t size = U32(entry + 4);
                if (data != 0 && data + size <= bytes_.size()) {
                    resource.data.assign(bytes_.begin() + data, bytes_.begin() + data + size);
                }
                found.push_back(std::move(resource));
            }
        }
        return found;
    }

    std::size_t FileSize() const { return bytes_.size(); }

private:
    struct Section {
        std::uint32_t address, size, raw;
    };

    std::uint16_t U16(std::uint32_t at) const {
        return at + 2 <= bytes_.size()
                   ? static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8)
                   : 0;
    }
    std::uint32_t U32(std::uint32_t at) const {
        return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
    }
    std::uint32_t Offset(std::uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva >= s.address && rva < s.address + s.size) {
                return rva - s.address + s.raw;
            }
        }
        return 0;
    }
    std::string Text(std::uint32_t at) const {
        std::string text;
        while (at != 0 && at < bytes_.size() && bytes_[at] != 0) {
            text += static_cast<char>(bytes_[at++]);
        }
        return text;
    }

    std::vector<unsigned char> bytes_;
    std::vector<Section> sections_;
    std::uint32_t directories_ = 0;
    std::uint16_t machine_ = 0;
    bool valid_ = false;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Build {
    const char* path;
    std::uint16_t machine;
};

class DllImageTest : public ::testing::TestWithParam<Build> {};

TEST_P(DllImageTest, ExportsExactlyTheEightEntryPointsUndecorated) {
    const PeImage image(GetParam().path);
    ASSERT_TRUE(image.Valid()) << GetParam().path << " is missing or not a PE image";
    EXPECT_EQ(image.Machine(), GetParam().machine);
    std::vector<std::string> names = image.ExportNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"lmAbout", "lmEditAction", "lmExecAction",
                                               "lmInitPlugIn", "lmMessage", "lmRegisterInterfaceAccess",
                                               "lmRegisterPlugIn", "lmRegisterScriptProcessor"}));
}

TEST_P(DllImageTest, ImportsOnlyDllsThatEveryWindowsHas) {
    const PeImage image(GetParam().path);
    ASSERT_TRUE(image.Valid()) << GetParam().path;
    const std::set<std::string> systemDlls = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll", "shell32.dll",
        "comdlg32.dll", "msvcrt.dll",   "ole32.dll",  "oleaut32.dll", "comctl32.dll",
        "shlwapi.dll",  "version.dll",  "winmm.dll"};
    const std::vector<std::string> dlls = image.ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        EXPECT_TRUE(systemDlls.count(Lower(dll)) == 1) << "imports " << dll;
    }
}

std::vector<unsigned char> ArtFile(const std::string& name) {
    std::ifstream file(std::string(TARVIK_ART_DIR) + "/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST_P(DllImageTest, CarriesTheArtworkUnderTheNamesTheCodeLoads) {
    const PeImage image(GetParam().path);
    ASSERT_TRUE(image.Valid()) << GetParam().path;
    const auto resources = image.Resources();
    const auto find = [&](std::uint32_t type, const std::string& name) -> const PeImage::Resource* {
        for (const auto& r : resources) {
            if (r.type == type && r.name == name) return &r;
        }
        return nullptr;
    };
    // Bitmaps are stored without their file header.
    const struct {
        const char* name;
        const char* file;
    } bitmaps[] = {{TARVIK_RES_TITULO, "Titulo.bmp"},
                   {TARVIK_RES_PANEL, "Panel.bmp"},
                   {TARVIK_RES_SEPARATOR, "Separator.bmp"},
                   {TARVIK_RES_GLYPH_VARIABLES, "GlyphVariables.bmp"},
                   {TARVIK_RES_GLYPH_OBJECTS, "GlyphObjects.bmp"},
                   {TARVIK_RES_GLYPH_FILES, "GlyphFiles.bmp"}};
    for (const auto& bitmap : bitmaps) {
        const auto* resource = find(2, bitmap.name);
        ASSERT_NE(resource, nullptr) << "no bitmap " << bitmap.name;
        const auto file = ArtFile(bitmap.file);
        ASSERT_GT(file.size(), 14u);
        EXPECT_TRUE(resource->data == std::vector<unsigned char>(file.begin() + 14, file.end())) << bitmap.name;
    }
    const auto* picture = find(10, TARVIK_RES_ABOUT_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->data == ArtFile("About.jpg"));
    const auto* icon = find(14, TARVIK_RES_MAINICON);
    ASSERT_NE(icon, nullptr);
    ASSERT_GE(icon->data.size(), 6u);
    EXPECT_EQ(icon->data[4], 3) << "the icon group holds 16, 32 and 48 pixels";
}

TEST_P(DllImageTest, PrintsItsSize) {
    const PeImage image(GetParam().path);
    ASSERT_TRUE(image.Valid()) << GetParam().path;
    // The shipping build is stripped at link time; the win64 build keeps its symbols.
    std::printf("%s: %zu bytes%s\n", GetParam().path, image.FileSize(),
                GetParam().machine == 0x014C ? " (stripped)" : "");
    if (GetParam().machine == 0x014C) {
        // The shipping budget, dialogs and picture decoder included.
        EXPECT_LE(image.FileSize(), 400u * 1024u);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, DllImageTest,
                         ::testing::Values(Build{TARVIK_DIST_DIR "/win32/TarvikD.lmp", 0x014C},
                                           Build{TARVIK_DIST_DIR "/win64/TarvikD.lmp", 0x8664}),
                         [](const ::testing::TestParamInfo<Build>& param) {
                             return param.param.machine == 0x014C ? std::string("win32")
                                                                 : std::string("win64");
                         });

}  // namespace
