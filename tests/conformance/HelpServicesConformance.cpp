// What the help lookup relies on: opening a registry key for reading without creating it,
// value types and bytes as RegQueryValueExA hands them out, file attributes of a file, a
// folder and a missing path, and the HTML Help viewer's answer for an existing and a
// missing help file.
#include "ConformanceStage.h"

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/FakePlatform.h"

#ifdef TARVIK_REAL_PLATFORM
#include <windows.h>
#endif

namespace tarvik::conformance {
namespace {

using platform::RegistryRoot;
using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kRegNone = 0;

// Keys, files and folders a case needs, made where the platform under test sees them and
// removed again with the object.
class DesktopScratch {
public:
    virtual ~DesktopScratch() = default;
    // A key under HKEY_CURRENT_USER that exists for this case only (no trailing "\").
    virtual std::string Key() = 0;
    virtual void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) = 0;
    // Full paths: a plain file and a folder that exist, and a compiled help file.
    virtual std::string File() = 0;
    virtual std::string Folder() = 0;
    virtual std::string HelpFile() = 0;
    // The class of a window the viewer returned; empty where the platform has none.
    virtual std::string WindowClass(platform::WindowHandle window) = 0;
    virtual bool IsWindowAlive(platform::WindowHandle window) = 0;
    virtual void Pump() = 0;
};

class FakeScratch final : public DesktopScratch {
public:
    explicit FakeScratch(platform::FakePlatform& fake) : fake_(fake) {
        fake_.AddFolder("C:\\Users\\Author\\Scratch");
        fake_.AddFile(File());
        fake_.AddFile(HelpFile());
        fake_.SetRegistryKey(RegistryRoot::CurrentUser, Key());
    }
    std::string Key() override { return "Software\\TarvikConformance\\Case"; }
    void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) override {
        fake_.SetRegistryValue(RegistryRoot::CurrentUser, Key(), name, type, data);
    }
    std::string File() override { return "C:\\Users\\Author\\Scratch\\notes.txt"; }
    std::string Folder() override { return "C:\\Users\\Author\\Scratch"; }
    std::string HelpFile() override { return "C:\\Users\\Author\\Scratch\\Tarvik.chm"; }
    std::string WindowClass(platform::WindowHandle) override { return {}; }
    bool IsWindowAlive(platform::WindowHandle) override { return fake_.HelpViewersOpen() != 0; }
    void Pump() override {}

private:
    platform::FakePlatform& fake_;
};

#ifdef TARVIK_REAL_PLATFORM
class Win32Scratch final : public DesktopScratch {
public:
    Win32Scratch() {
        const std::string unique = std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount());
        key_ = "Software\\TarvikConformance\\" + unique;
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "TarvikConformance-" + unique;
        CreateDirectoryA(folder_.c_str(), nullptr);
        file_ = folder_ + "\\notes.txt";
        HANDLE created = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            CloseHandle(created);
        }
        // The build puts the library's help file beside this program.
        char program[MAX_PATH + 1] = {};
        GetModuleFileNameA(nullptr, program, MAX_PATH);
        helpFile_ = program;
        helpFile_ = helpFile_.substr(0, helpFile_.find_last_of('\\') + 1) + "Tarvik.chm";
    }
    ~Win32Scratch() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TarvikConformance");  // when empty
        DeleteFileA(file_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string Key() override { return key_; }
    void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) override {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::string File() override { return file_; }
    std::string Folder() override { return folder_; }
    std::string HelpFile() override { return helpFile_; }
    std::string WindowClass(platform::WindowHandle window) override {
        char name[256] = {};
        GetClassNameA(static_cast<HWND>(window), name, sizeof name);
        return name;
    }
    bool IsWindowAlive(platform::WindowHandle window) override {
        return IsWindow(static_cast<HWND>(window)) != FALSE;
    }
    void Pump() override {
        MSG message;
        for (int round = 0; round < 20; ++round) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(10);
        }
    }

private:
    std::string key_;
    std::string folder_;
    std::string file_;
    std::string helpFile_;
};
#endif

class HelpServicesConformance : public PlatformConformance {
protected:
    void SetUp() override {
        PlatformConformance::SetUp();
        if (auto* fake = dynamic_cast<platform::FakePlatform*>(&os())) {
            scratch_ = std::make_unique<FakeScratch>(*fake);
        } else {
#ifdef TARVIK_REAL_PLATFORM
            scratch_ = std::make_unique<Win32Scratch>();
#endif
        }
        ASSERT_NE(scratch_, nullptr);
    }
    void TearDown() override { scratch_.reset(); }

    DesktopScratch& scratch() { return *scratch_; }

    // Opens the case's key for reading; null when it cannot be.
    platform::UniqueRegistryKey OpenCaseKey() {
        std::uint32_t error = 0;
        return os().OpenRegistryKey(scratch().Key(),
                                    platform::kKeyRead, error);
    }

private:
    std::unique_ptr<DesktopScratch> scratch_;
};

// Paths compare without regard to case, as the file system does.
std::string Folded(std::string path) {
    for (char& c : path) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return path;
}

Bytes TextBytes(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

TEST_P(HelpServicesConformance, AMissingKeyIsNotFoundAndOpeningItCreatesNothing) {
    const std::string missing = scratch().Key() + "\\Halvenor\\Corvane\\Tarvik";
    for (std::uint32_t access : {platform::kKeyRead, platform::kKeyAllAccess}) {
        std::uint32_t error = 0;
        EXPECT_FALSE(os().OpenRegistryKey(missing, access, error));
        EXPECT_EQ(error, kErrorFileNotFound);
    }
    std::uint32_t error = 0;
    EXPECT_FALSE(os().OpenRegistryKey(scratch().Key() + "\\Halvenor",
                                      platform::kKeyRead, error));
    EXPECT_EQ(error, kErrorFileNotFound);

    // The key itself opens for reading.
    platform::UniqueRegistryKey key = os().OpenRegistryKey(scratch().Key(),
                                                           platform::kKeyRead, error);
    ASSERT_TRUE(key);
    EXPECT_EQ(error, platform::kErrorSuccess);
    key.reset();
}

TEST_P(HelpServicesConformance, ValuesComeBackWithTheirTypeAndTheirBytesAsStored) {
    scratch().PutValue("HelpFile", platform::kRegSz, TextBytes("C:\\Help\\Tarvik.chm"));
    scratch().PutValue("Expandable", platform::kRegExpandSz, TextBytes("%TEMP%\\Tarvik.chm"));
    scratch().PutValue("Number", platform::kRegDword, {0x74, 0xC0, 0x00, 0x00});
    scratch().PutValue("Empty", platform::kRegSz, TextBytes(""));
    scratch().PutValue("Nothing", platform::kRegBinary, {});
    scratch().PutValue("TwoTexts", platform::kRegSz, TextBytes(std::string("C:\\a.chm\0junk", 13)));

    const platform::UniqueRegistryKey key = OpenCaseKey();
    ASSERT_TRUE(key);
    struct Expected {
        const char* name;
        std::uint32_t type;
        Bytes data;
    };
    const Expected expected[] = {
        {"HelpFile", platform::kRegSz, TextBytes("C:\\Help\\Tarvik.chm")},
        {"helpfile", platform::kRegSz, TextBytes("C:\\Help\\Tarvik.chm")},  // names ignore case
        {"Expandable", platform::kRegExpandSz, TextBytes("%TEMP%\\Tarvik.chm")},  // not expanded
        {"Number", platform::kRegDword, {0x74, 0xC0, 0x00, 0x00}},
        {"Empty", platform::kRegSz, {0}},
        {"Nothing", platform::kRegBinary, {}},
        {"TwoTexts", platform::kRegSz, TextBytes(std::string("C:\\a.chm\0junk", 13))},
    };
    for (const Expected& value : expected) {
        platform::RegistryValue read;
        read.type = kRegNone;
        ASSERT_TRUE(os().QueryRegistryValue(key.get(), value.name, read)) << value.name;
        EXPECT_EQ(read.type, value.type) << value.name;
        EXPECT_EQ(read.data, value.data) << value.name;
    }
    platform::RegistryValue absent;
    EXPECT_FALSE(os().QueryRegistryValue(key.get(), "HelpPath", absent));
}

TEST_P(HelpServicesConformance, FileAttributesTellAFileAFolderAndAMissingPathApart) {
    const std::uint32_t file = os().FileAttributes(scratch().File());
    EXPECT_NE(file, platform::kInvalidFileAttributes);
    EXPECT_EQ(file & platform::kFileAttributeDirectory, 0u);

    const std::uint32_t folder = os().FileAttributes(scratch().Folder());
    EXPECT_NE(folder, platform::kInvalidFileAttributes);
    EXPECT_NE(folder & platform::kFileAttributeDirectory, 0u);

    os().SetLastError(0);
    EXPECT_EQ(os().FileAttributes(scratch().Folder() + "\\missing.chm"),
              platform::kInvalidFileAttributes);
    EXPECT_EQ(os().LastError(), kErrorFileNotFound);
    EXPECT_EQ(os().FileAttributes(""), platform::kInvalidFileAttributes);
    // Environment references are not expanded by the file system either.
    EXPECT_EQ(os().FileAttributes("%TEMP%"), platform::kInvalidFileAttributes);
}

TEST_P(HelpServicesConformance, TheViewerOpensAWindowForAnExistingHelpFileOnly) {
    const std::string helpFile = scratch().HelpFile();
    ASSERT_NE(os().FileAttributes(helpFile), platform::kInvalidFileAttributes) << helpFile;

    platform::WindowHandle viewer =
        os().HtmlHelp(nullptr, helpFile + "::\\index.html#about", platform::kHhDisplayTopic, 0);
    ASSERT_NE(viewer, nullptr);
    const std::string windowClass = scratch().WindowClass(viewer);
    if (!windowClass.empty()) {
        EXPECT_EQ(windowClass, "HH Parent");
    }
    // A page that is not in the file still opens the viewer.
    EXPECT_NE(os().HtmlHelp(nullptr, helpFile + "::/missing.html", platform::kHhDisplayTopic, 0),
              nullptr);

    EXPECT_EQ(os().HtmlHelp(nullptr, std::string(), platform::kHhCloseAll, 0), nullptr);
    scratch().Pump();
    EXPECT_FALSE(scratch().IsWindowAlive(viewer));

    EXPECT_EQ(os().HtmlHelp(nullptr, scratch().Folder() + "\\missing.chm::\\index.html#about",
                            platform::kHhDisplayTopic, 0),
              nullptr);
    EXPECT_EQ(os().HtmlHelp(nullptr, scratch().Folder() + "::\\index.html#about",
                            platform::kHhDisplayTopic, 0),
              nullptr);
}

// By its bare name the loader would look in the program's own folder first, and a copy
// planted there would run inside the host as soon as an author asks for help.
TEST_P(HelpServicesConformance, TheViewersLibraryComesFromTheSystemFolderOnly) {
    const Stage::LoadedLibrary library = stage().HelpLibraryBesidePlantedCopy();
    EXPECT_EQ(Folded(library.loaded), Folded(library.systemCopy)) << library.loaded;
}

std::string KindName(const ::testing::TestParamInfo<StageKind>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(On, HelpServicesConformance, ::testing::ValuesIn(StageKinds()),
                         KindName);

}  // namespace
}  // namespace tarvik::conformance
