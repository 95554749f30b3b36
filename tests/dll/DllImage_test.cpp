// Reads the built DLLs and installers as files: what the DLLs export and import is the
// binary contract a host relies on, whatever the compiler did with names and runtimes;
// the version resources are what Explorer, installers and support staff read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TarvikVersion.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

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
        std::uint32_t id = 0;  // of a numbered resource
        std::uint32_t language = 0;  // its first language
        std::vector<unsigned char> data;  // of its first language
    };

    // The resources at the second level of the resource tree, by type number.
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
                } else {
                    resource.id = nameField;
                }
                if ((nameOffset & 0x80000000u) == 0) {
                    continue;
                }
                const auto languages = entries(root + (nameOffset & 0x7FFFFFFFu));
                if (languages.empty() || (languages[0].second & 0x80000000u) != 0) {
                    continue;
                }
                resource.language = languages[0].first;
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

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// UTF-16 code units (of the basic plane) as UTF-8.
std::string Utf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (const std::uint16_t unit : units) {
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | unit >> 6);
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | unit >> 12);
            out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

// A version resource: its fixed numbers, the string tables by their key ("041904B0")
// with their texts in UTF-8, and the translations it declares.
struct VersionInfo {
    std::uint32_t fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::map<std::string, std::map<std::string, std::string>> tables;
    std::vector<std::uint32_t> translations;  // language in the low word, code page high
};

VersionInfo ReadVersion(const std::vector<unsigned char>& data) {
    const auto u16 = [&](std::size_t at) -> std::uint16_t {
        return at + 2 <= data.size() ? static_cast<std::uint16_t>(data[at] | data[at + 1] << 8) : 0;
    };
    const auto u32 = [&](std::size_t at) -> std::uint32_t {
        return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    };
    const auto align = [](std::size_t at) { return (at + 3) & ~std::size_t{3}; };
    // One node: length, value length, type (1 text), key; then the value and children.
    struct Node {
        std::string key;
        std::size_t value = 0, valueEnd = 0, children = 0, end = 0;
    };
    const auto text = [&](std::size_t at, std::size_t end) {
        std::vector<std::uint16_t> units;
        for (; at + 2 <= end && u16(at) != 0; at += 2) units.push_back(u16(at));
        return Utf8(units);
    };
    const auto node = [&](std::size_t at) {
        Node n;
        n.end = std::min(data.size(), at + std::max<std::size_t>(u16(at), 6));
        n.key = text(at + 6, n.end);
        n.value = align(at + 6 + 2 * (n.key.size() + 1));
        n.valueEnd = std::min(n.end, n.value + u16(at + 2) * (u16(at + 4) == 1 ? 2u : 1u));
        n.children = align(n.valueEnd);
        return n;
    };
    const auto children = [&](const Node& parent) {
        std::vector<Node> list;
        for (std::size_t at = parent.children; at + 6 <= parent.end && u16(at) != 0;
             at = align(list.back().end)) {
            list.push_back(node(at));
        }
        return list;
    };

    VersionInfo info;
    const Node root = node(0);
    if (root.key != "VS_VERSION_INFO" || u32(root.value) != 0xFEEF04BDu) {
        return info;
    }
    info.fileMs = u32(root.value + 8);
    info.fileLs = u32(root.value + 12);
    info.productMs = u32(root.value + 16);
    info.productLs = u32(root.value + 20);
    for (const Node& block : children(root)) {
        for (const Node& table : children(block)) {
            if (block.key == "StringFileInfo") {
                for (const Node& entry : children(table)) {
                    info.tables[Upper(table.key)][entry.key] = text(entry.value, entry.end);
                }
            } else if (block.key == "VarFileInfo" && table.key == "Translation") {
                for (std::size_t at = table.value; at + 4 <= table.valueEnd; at += 4) {
                    info.translations.push_back(u32(at));
                }
            }
        }
    }
    return info;
}

// Text `id` of a string-table resource, in UTF-8: entry id % 16 of block id / 16 + 1.
std::string StringResource(const std::vector<PeImage::Resource>& resources, unsigned id) {
    for (const auto& r : resources) {
        if (r.type != 6 || r.id != id / 16 + 1) continue;
        std::size_t at = 0;
        for (unsigned entry = 0; entry < 16 && at + 2 <= r.data.size(); ++entry) {
            const std::size_t length = r.data[at] | r.data[at + 1] << 8;
            at += 2;
            if (entry == id % 16) {
                std::vector<std::uint16_t> units;
                for (std::size_t c = 0; c < length && at + 2 * c + 2 <= r.data.size(); ++c) {
                    units.push_back(static_cast<std::uint16_t>(r.data[at + 2 * c] | r.data[at + 2 * c + 1] << 8));
                }
                return Utf8(units);
            }
            at += 2 * length;
        }
    }
    return {};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Build {
    const char* path;
    std::uint16_t machine;
    const char* compiler;
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

// Every library the DLL imports is one Windows lists among its known DLLs, which the
// loader takes from the system folder only: a copy planted in the host's folder is never
// the one loaded (the help viewer, loaded at run time, is asked for by its full path).
TEST_P(DllImageTest, ImportsOnlyDllsThatEveryWindowsHas) {
    const PeImage image(GetParam().path);
    ASSERT_TRUE(image.Valid()) << GetParam().path;
    const std::set<std::string> systemDlls = {
        "kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll", "shell32.dll",
        "comdlg32.dll", "msvcrt.dll", "ole32.dll",    "oleaut32.dll", "shlwapi.dll"};
    const std::vector<std::string> dlls = image.ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        EXPECT_TRUE(systemDlls.count(Lower(dll)) == 1) << "imports " << dll;
    }
}

// The DLL's small runtime leans on internals of one compiler and runtime version: the
// build's own compiler passes the check, and the same compiler posing as another
// version, or over a runtime whose configuration header says another, stops with the
// reason.
TEST_P(DllImageTest, ItsCompilerIsTheOneItsRuntimeTrickWasCheckedWith) {
    const std::string runtime = ::testing::TempDir() + "tarvik-other-runtime";
    std::system(("mkdir -p " + runtime + "/bits").c_str());
    const struct {
        const char* flags;
        const char* runtimeSays;  // appended to the runtime's configuration header
        bool stops;
    } cases[] = {
        {"", nullptr, false},
        {"-U__GNUC__ -D__GNUC__=13", nullptr, true},
        {"", "#undef _GLIBCXX_RELEASE\n#define _GLIBCXX_RELEASE 13\n", true},
        {"", "#undef __GLIBCXX__\n#define __GLIBCXX__ 20240801\n", true},
    };
    for (const auto& check : cases) {
        std::string include;
        if (check.runtimeSays != nullptr) {
            std::ofstream(runtime + "/bits/c++config.h")
                << "#include_next <bits/c++config.h>\n" << check.runtimeSays;
            include = " -I " + runtime;
        }
        const std::string command = std::string(GetParam().compiler) + " " + check.flags +
                                    include + " -fsyntax-only -x c++ -include " TARVIK_SOURCE_DIR
                                    "/base/UStringInstances.h /dev/null 2>&1";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr) << command;
        char chunk[512];
        while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
            output += chunk;
        }
        const int status = pclose(pipe);
        EXPECT_EQ(status != 0, check.stops) << command << "\n" << output;
        EXPECT_EQ(output.find("TarvikD replaces internals of GCC 12") != std::string::npos,
                  check.stops)
            << command << "\n" << output;
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

// The DLL and the installer beside it name the one version the project declares, the
// one the About box shows from the string table, and the maker its notice names, in a
// Russian table of Unicode texts.
TEST_P(DllImageTest, DllAndInstallerCarryTheVersionTheAboutBoxShows) {
    const std::string dll = GetParam().path;
    const PeImage image(dll);
    ASSERT_TRUE(image.Valid()) << dll;
    const auto strings = image.Resources();
    const std::string aboutVersion = StringResource(strings, tarvik::resources::IDS_PLUGIN_VERSION);
    const std::string notice = StringResource(strings, tarvik::resources::IDS_EDIT_NOTICE);
    EXPECT_EQ(aboutVersion, TARVIK_VERSION_TEXT) << "the About box and the project disagree";
    EXPECT_EQ(StringResource(strings, tarvik::resources::IDS_PLUGIN_NAME), "Tarvik");
    ASSERT_EQ(notice.rfind("\u00A9 ", 0), 0u) << notice;
    const std::string maker = notice.substr(std::string("\u00A9 ").size());

    const struct {
        std::string path, originalName;
    } files[] = {{dll, "TarvikD.lmp"},
                 {dll.substr(0, dll.find_last_of('/') + 1) + "Tarvik-setup.exe", "Tarvik-setup.exe"}};
    const std::uint32_t numbers = TARVIK_VERSION_MAJOR << 16 | TARVIK_VERSION_MINOR;
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        const PeImage pe(file.path);
        ASSERT_TRUE(pe.Valid());
        const auto resources = pe.Resources();
        const auto version = std::find_if(resources.begin(), resources.end(),
                                          [](const PeImage::Resource& r) { return r.type == 16 && r.id == 1; });
        ASSERT_NE(version, resources.end()) << "no version resource";
        EXPECT_EQ(version->language, 0x0419u);
        const VersionInfo info = ReadVersion(version->data);
        EXPECT_EQ(info.fileMs, numbers);
        EXPECT_EQ(info.fileLs, 0u);
        EXPECT_EQ(info.productMs, numbers);
        EXPECT_EQ(info.productLs, 0u);
        EXPECT_EQ(info.translations, std::vector<std::uint32_t>{1200u << 16 | 0x0419u});
        ASSERT_EQ(info.tables.size(), 1u);
        const auto& table = info.tables.begin()->second;
        EXPECT_EQ(info.tables.begin()->first, "041904B0");
        const auto value = [&](const char* key) {
            const auto found = table.find(key);
            return found == table.end() ? std::string("(none)") : found->second;
        };
        EXPECT_EQ(value("FileVersion"), aboutVersion);
        EXPECT_EQ(value("ProductVersion"), aboutVersion);
        EXPECT_EQ(value("ProductName"), "Tarvik");
        EXPECT_EQ(value("CompanyName"), maker);
        EXPECT_EQ(value("LegalCopyright"), notice);
        EXPECT_EQ(value("OriginalFilename"), file.originalName);
        // Russian, in Unicode: Cyrillic read back as written.
        EXPECT_NE(value("FileDescription").find("\u043B\u0430\u0433\u0438\u043D"), std::string::npos)
            << value("FileDescription");
    }

    // The installer runs as the user who starts it: elevated, it would write the help
    // file's location into the administrator's registry.
    const auto resources = PeImage(files[1].path).Resources();
    const auto manifest = std::find_if(resources.begin(), resources.end(),
                                       [](const PeImage::Resource& r) { return r.type == 24; });
    ASSERT_NE(manifest, resources.end()) << "the installer has no manifest";
    const std::string text(manifest->data.begin(), manifest->data.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Builds, DllImageTest,
                         ::testing::Values(Build{TARVIK_DIST_DIR "/win32/TarvikD.lmp", 0x014C,
                                                 "i686-w64-mingw32-g++"},
                                           Build{TARVIK_DIST_DIR "/win64/TarvikD.lmp", 0x8664,
                                                 "x86_64-w64-mingw32-g++"}),
                         [](const ::testing::TestParamInfo<Build>& param) {
                             return param.param.machine == 0x014C ? std::string("win32")
                                                                 : std::string("win64");
                         });

}  // namespace
