// What the help lookup relies on: opening a registry key for reading without creating it,
// value types and bytes as RegQueryValueExW hands them out, file attributes of a file, a
// folder and a missing path, and the HTML Help viewer's answer for an existing and a
// missing help file; and the lookup itself finding a help file in a folder named in Greek.
#include "ConformanceStage.h"

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "about/UHelpTopics.h"
#include "platform/FakePlatform.h"

#ifdef TARVIK_REAL_PLATFORM
#include <windows.h>
#endif

namespace tarvik::conformance {
namespace {

using platform::RegistryRoot;
using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kRegNone = 0;
// Where the library looks for its help file, under HKEY_CURRENT_USER.
constexpr wchar_t kHelpKey[] = L"Software\\Halvenor\\Corvane\\Tarvik";
// A folder named in a script that neither code page the suite runs in can write.
constexpr wchar_t kGreekFolder[] = L"Βοήθεια";

// Keys, files and folders a case needs, made where the platform under test sees them and
// removed again with the object.
class DesktopScratch {
public:
    virtual ~DesktopScratch() = default;
    // A key under HKEY_CURRENT_USER that exists for this case only (no trailing "\").
    virtual std::wstring Key() = 0;
    // A value of the case's key, written as RegSetValueExA writes it.
    virtual void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) = 0;
    // A Unicode text value of the case's key, written as RegSetValueExW writes it.
    virtual void PutText(const std::string& name, const std::wstring& text) = 0;
    // Full paths: a plain file and a folder that exist, and a compiled help file.
    virtual std::wstring File() = 0;
    virtual std::wstring Folder() = 0;
    virtual std::wstring HelpFile() = 0;
    // The help file copied into a folder of the scratch folder named `folder`: its path.
    virtual std::wstring HelpFileIn(const std::wstring& folder) = 0;
    // The library's own "HelpFile" value set to `path` as the installer sets it (REG_SZ,
    // Unicode); what was there before comes back with the object.
    virtual void RegisterHelpFile(const std::wstring& path) = 0;
    // The class of a window the viewer returned; empty where the platform has none.
    virtual std::string WindowClass(platform::WindowHandle window) = 0;
    virtual bool IsWindowAlive(platform::WindowHandle window) = 0;
    // Whether any viewer window of this process is open.
    virtual bool IsViewerOpen() = 0;
    virtual void Pump() = 0;
};

class FakeScratch final : public DesktopScratch {
public:
    explicit FakeScratch(platform::FakePlatform& fake) : fake_(fake) {
        fake_.AddFolder(Folder());
        fake_.AddFile(File());
        fake_.AddFile(HelpFile());
        fake_.SetRegistryKey(RegistryRoot::CurrentUser, "Software\\TarvikConformance\\Case");
    }
    std::wstring Key() override { return L"Software\\TarvikConformance\\Case"; }
    void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) override {
        fake_.SetRegistryValue(RegistryRoot::CurrentUser, "Software\\TarvikConformance\\Case",
                               name, type, data);
    }
    void PutText(const std::string& name, const std::wstring& text) override {
        fake_.SetRegistryText(RegistryRoot::CurrentUser, "Software\\TarvikConformance\\Case",
                              name, text);
    }
    std::wstring File() override { return L"C:\\Users\\Author\\Scratch\\notes.txt"; }
    std::wstring Folder() override { return L"C:\\Users\\Author\\Scratch"; }
    std::wstring HelpFile() override { return L"C:\\Users\\Author\\Scratch\\Tarvik.chm"; }
    std::wstring HelpFileIn(const std::wstring& folder) override {
        fake_.AddFolder(Folder() + L"\\" + folder);
        fake_.AddFile(Folder() + L"\\" + folder + L"\\Tarvik.chm");
        return Folder() + L"\\" + folder + L"\\Tarvik.chm";
    }
    void RegisterHelpFile(const std::wstring& path) override {
        fake_.SetRegistryText(RegistryRoot::CurrentUser, "Software\\Halvenor\\Corvane\\Tarvik",
                              "HelpFile", path);
    }
    std::string WindowClass(platform::WindowHandle) override { return {}; }
    bool IsWindowAlive(platform::WindowHandle) override { return IsViewerOpen(); }
    bool IsViewerOpen() override { return fake_.HelpViewersOpen() != 0; }
    void Pump() override {}

private:
    platform::FakePlatform& fake_;
};

#ifdef TARVIK_REAL_PLATFORM
class Win32Scratch final : public DesktopScratch {
public:
    Win32Scratch() {
        const std::wstring unique = std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(GetTickCount());
        key_ = L"Software\\TarvikConformance\\" + unique;
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"TarvikConformance-" + unique;
        CreateDirectoryW(folder_.c_str(), nullptr);
        file_ = folder_ + L"\\notes.txt";
        HANDLE created = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            CloseHandle(created);
        }
        // The build puts the library's help file beside this program.
        wchar_t program[MAX_PATH + 1] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        helpFile_ = program;
        helpFile_ = helpFile_.substr(0, helpFile_.find_last_of(L'\\') + 1) + L"Tarvik.chm";
        copies_ = std::wstring(temp) + L"TarvikConformance-Help";
    }
    ~Win32Scratch() override {
        RestoreHelpFile();
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TarvikConformance");  // when empty
        DeleteFileW(file_.c_str());
        RemoveDirectoryW(folder_.c_str());
        for (const std::wstring& folder : copied_) {
            DeleteFileW((folder + L"\\Tarvik.chm").c_str());
            RemoveDirectoryW(folder.c_str());
        }
        RemoveDirectoryW(copies_.c_str());
    }
    std::wstring Key() override { return key_; }
    void PutValue(const std::string& name, std::uint32_t type, const Bytes& data) override {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void PutText(const std::string& name, const std::wstring& text) override {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        const std::wstring wideName(name.begin(), name.end());
        EXPECT_EQ(SetText(key, wideName, text), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::wstring File() override { return file_; }
    std::wstring Folder() override { return folder_; }
    std::wstring HelpFile() override { return helpFile_; }
    // The copies live in a folder of their own that every run uses again: a viewer may
    // keep a help file it showed open until the process ends (Wine's does), and what
    // cannot be removed now is replaced by the next run.
    std::wstring HelpFileIn(const std::wstring& folder) override {
        const std::wstring path = copies_ + L"\\" + folder;
        for (const std::wstring& made : {copies_, path}) {
            EXPECT_TRUE(CreateDirectoryW(made.c_str(), nullptr) ||
                        GetLastError() == ERROR_ALREADY_EXISTS)
                << GetLastError();
        }
        copied_.push_back(path);
        EXPECT_TRUE(CopyFileW(helpFile_.c_str(), (path + L"\\Tarvik.chm").c_str(), FALSE))
            << GetLastError();
        return path + L"\\Tarvik.chm";
    }
    void RegisterHelpFile(const std::wstring& path) override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kHelpKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (!saved_) {
            saved_ = true;
            DWORD type = 0;
            DWORD size = 0;
            if (RegQueryValueExW(key, L"HelpFile", nullptr, &type, nullptr, &size) ==
                ERROR_SUCCESS) {
                previous_.type = type;
                previous_.data.resize(size);
                RegQueryValueExW(key, L"HelpFile", nullptr, &type, previous_.data.data(), &size);
                hadValue_ = true;
            }
        }
        EXPECT_EQ(SetText(key, L"HelpFile", path), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::string WindowClass(platform::WindowHandle window) override {
        char name[256] = {};
        GetClassNameA(static_cast<HWND>(window), name, sizeof name);
        return name;
    }
    bool IsWindowAlive(platform::WindowHandle window) override {
        return IsWindow(static_cast<HWND>(window)) != FALSE;
    }
    bool IsViewerOpen() override {
        HWND viewer = nullptr;
        while ((viewer = FindWindowExW(nullptr, viewer, L"HH Parent", nullptr)) != nullptr) {
            DWORD process = 0;
            GetWindowThreadProcessId(viewer, &process);
            if (process == GetCurrentProcessId()) {
                return true;
            }
        }
        return false;
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
    static LONG SetText(HKEY key, const std::wstring& name, const std::wstring& text) {
        return RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    // The library's key as it was before the case: its value back, or the value gone (and
    // the keys the case made, while empty).
    void RestoreHelpFile() {
        if (!saved_) {
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kHelpKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
            return;
        }
        if (hadValue_) {
            RegSetValueExW(key, L"HelpFile", 0, previous_.type, previous_.data.data(),
                           static_cast<DWORD>(previous_.data.size()));
            RegCloseKey(key);
            return;
        }
        RegDeleteValueW(key, L"HelpFile");
        RegCloseKey(key);
        for (const wchar_t* path : {kHelpKey, L"Software\\Halvenor\\Corvane", L"Software\\Halvenor"}) {
            HKEY parent = nullptr;
            DWORD subkeys = 0, values = 0;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &parent) != ERROR_SUCCESS) {
                return;
            }
            RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(parent);
            if (subkeys != 0 || values != 0 || RegDeleteKeyW(HKEY_CURRENT_USER, path) != ERROR_SUCCESS) {
                return;
            }
        }
    }

    std::wstring key_;
    std::wstring folder_;
    std::wstring file_;
    std::wstring helpFile_;
    std::wstring copies_;
    std::vector<std::wstring> copied_;
    bool saved_ = false;
    bool hadValue_ = false;
    platform::RegistryValue previous_;
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

// A text as the registry keeps it and RegQueryValueExW gives it: UTF-16LE, each byte of an
// ASCII text one character.
Bytes WideBytes(const std::wstring& text) {
    Bytes bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}
Bytes WideBytes(const Bytes& ascii) {
    return WideBytes(std::wstring(ascii.begin(), ascii.end()));
}

// A wide name or path for a failure message (its ASCII letters, the others as "?").
std::string Shown(const std::wstring& text) {
    std::string shown;
    for (const wchar_t c : text) {
        shown += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return shown;
}

// The library's code talks to the platform under test for as long as the object lives.
class LibraryOnPlatform {
public:
    explicit LibraryOnPlatform(platform::Platform& os) { platform::SetOs(&os); }
    LibraryOnPlatform(const LibraryOnPlatform&) = delete;
    LibraryOnPlatform& operator=(const LibraryOnPlatform&) = delete;
    ~LibraryOnPlatform() { platform::SetOs(nullptr); }
};

TEST_P(HelpServicesConformance, AMissingKeyIsNotFoundAndOpeningItCreatesNothing) {
    const std::wstring missing = scratch().Key() + L"\\Halvenor\\Corvane\\Tarvik";
    for (std::uint32_t access : {platform::kKeyRead, platform::kKeyAllAccess}) {
        std::uint32_t error = 0;
        EXPECT_FALSE(os().OpenRegistryKey(missing, access, error));
        EXPECT_EQ(error, kErrorFileNotFound);
    }
    std::uint32_t error = 0;
    EXPECT_FALSE(os().OpenRegistryKey(scratch().Key() + L"\\Halvenor",
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
    scratch().PutText("Unicode", std::wstring(L"C:\\") + kGreekFolder + L"\\Tarvik.chm");

    const platform::UniqueRegistryKey key = OpenCaseKey();
    ASSERT_TRUE(key);
    struct Expected {
        const wchar_t* name;
        std::uint32_t type;
        Bytes data;
    };
    // Texts are kept in UTF-16 whichever function wrote them: an ANSI text comes back one
    // character per byte it was written with, its zeros included.
    const Expected expected[] = {
        {L"HelpFile", platform::kRegSz, WideBytes(TextBytes("C:\\Help\\Tarvik.chm"))},
        {L"helpfile", platform::kRegSz, WideBytes(TextBytes("C:\\Help\\Tarvik.chm"))},  // names ignore case
        {L"Expandable", platform::kRegExpandSz, WideBytes(TextBytes("%TEMP%\\Tarvik.chm"))},  // not expanded
        {L"Number", platform::kRegDword, {0x74, 0xC0, 0x00, 0x00}},
        {L"Empty", platform::kRegSz, {0, 0}},
        {L"Nothing", platform::kRegBinary, {}},
        {L"TwoTexts", platform::kRegSz, WideBytes(TextBytes(std::string("C:\\a.chm\0junk", 13)))},
        {L"Unicode", platform::kRegSz,
         WideBytes(std::wstring(L"C:\\") + kGreekFolder + L"\\Tarvik.chm" + L'\0')},
    };
    for (const Expected& value : expected) {
        platform::RegistryValue read;
        read.type = kRegNone;
        ASSERT_TRUE(os().QueryRegistryValue(key.get(), value.name, read)) << Shown(value.name);
        EXPECT_EQ(read.type, value.type) << Shown(value.name);
        EXPECT_EQ(read.data, value.data) << Shown(value.name);
    }
    platform::RegistryValue absent;
    EXPECT_FALSE(os().QueryRegistryValue(key.get(), L"HelpPath", absent));
}

TEST_P(HelpServicesConformance, FileAttributesTellAFileAFolderAndAMissingPathApart) {
    const std::uint32_t file = os().FileAttributes(scratch().File());
    EXPECT_NE(file, platform::kInvalidFileAttributes);
    EXPECT_EQ(file & platform::kFileAttributeDirectory, 0u);

    const std::uint32_t folder = os().FileAttributes(scratch().Folder());
    EXPECT_NE(folder, platform::kInvalidFileAttributes);
    EXPECT_NE(folder & platform::kFileAttributeDirectory, 0u);

    os().SetLastError(0);
    EXPECT_EQ(os().FileAttributes(scratch().Folder() + L"\\missing.chm"),
              platform::kInvalidFileAttributes);
    EXPECT_EQ(os().LastError(), kErrorFileNotFound);
    EXPECT_EQ(os().FileAttributes(L""), platform::kInvalidFileAttributes);
    // Environment references are not expanded by the file system either.
    EXPECT_EQ(os().FileAttributes(L"%TEMP%"), platform::kInvalidFileAttributes);
}

TEST_P(HelpServicesConformance, TheViewerOpensAWindowForAnExistingHelpFileOnly) {
    const std::wstring helpFile = scratch().HelpFile();
    ASSERT_NE(os().FileAttributes(helpFile), platform::kInvalidFileAttributes) << Shown(helpFile);

    platform::WindowHandle viewer =
        os().HtmlHelp(nullptr, helpFile + L"::\\index.html#about", platform::kHhDisplayTopic, 0);
    ASSERT_NE(viewer, nullptr);
    const std::string windowClass = scratch().WindowClass(viewer);
    if (!windowClass.empty()) {
        EXPECT_EQ(windowClass, "HH Parent");
    }
    // A page that is not in the file still opens the viewer.
    EXPECT_NE(os().HtmlHelp(nullptr, helpFile + L"::/missing.html", platform::kHhDisplayTopic, 0),
              nullptr);

    EXPECT_EQ(os().HtmlHelp(nullptr, std::wstring(), platform::kHhCloseAll, 0), nullptr);
    scratch().Pump();
    EXPECT_FALSE(scratch().IsWindowAlive(viewer));

    EXPECT_EQ(os().HtmlHelp(nullptr, scratch().Folder() + L"\\missing.chm::\\index.html#about",
                            platform::kHhDisplayTopic, 0),
              nullptr);
    EXPECT_EQ(os().HtmlHelp(nullptr, scratch().Folder() + L"::\\index.html#about",
                            platform::kHhDisplayTopic, 0),
              nullptr);
}

// The installer writes the help file's path as a Unicode value: an author whose profile
// folder is named in a script the ANSI code page lacks gets help on F1 all the same.
TEST_P(HelpServicesConformance, F1FindsAHelpFileInAFolderNamedInGreek) {
    const std::wstring helpFile = scratch().HelpFileIn(kGreekFolder);
    scratch().RegisterHelpFile(helpFile);
    EXPECT_NE(os().FileAttributes(helpFile), platform::kInvalidFileAttributes) << Shown(helpFile);

    // Through the code page, as the ANSI functions pass it, the path names nothing.
    const std::wstring throughAnsi = os().AnsiToWide(os().WideToAnsi(helpFile));
    EXPECT_NE(throughAnsi, helpFile);
    os().SetLastError(0);
    EXPECT_EQ(os().FileAttributes(throughAnsi), platform::kInvalidFileAttributes);
    EXPECT_EQ(os().LastError(), kErrorInvalidName);

    os().HtmlHelp(nullptr, std::wstring(), platform::kHhCloseAll, 0);
    scratch().Pump();
    ASSERT_FALSE(scratch().IsViewerOpen());
    {
        const LibraryOnPlatform library(os());
        EXPECT_TRUE(about::ShowHelpTopic("about"));
        EXPECT_TRUE(about::ShowHelpTopic("TarvikChange"));
    }
    scratch().Pump();
    EXPECT_TRUE(scratch().IsViewerOpen());
    os().HtmlHelp(nullptr, std::wstring(), platform::kHhCloseAll, 0);
    scratch().Pump();
    EXPECT_FALSE(scratch().IsViewerOpen());
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
