// The installer end to end under the real Win32 API: a silent install into a fresh
// folder, the files, version and registry values it leaves in the running user's hive,
// an upgrade over it (refused with the plug-in held, then done in the remembered folder),
// help found through them, a move to another folder, and a silent uninstall that takes
// the files, the values and the keys away again.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Host.h"
#include "TarvikVersion.h"
#include "HostDesktop.h"
#include "PluginApi.h"
#include "about/UHelpTopics.h"
#include "platform/Platform.h"
#include "support/CallingConventionFaults.h"
#include "support/ThreadWindows.h"

namespace {

constexpr char kHelpKey[] = "Software\\Halvenor\\Corvane\\Tarvik";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarvik";

std::string ProgramFolder() {
    char program[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string path = program;
    return path.substr(0, path.find_last_of('\\') + 1);
}

// The installer under test: the one copied beside this program, or the one the
// environment variable TARVIK_SETUP names (the other build's).
std::string SetupPath() {
    char named[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA("TARVIK_SETUP", named, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(named) : ProgramFolder() + "Tarvik-setup.exe";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const char* path, HKEY root = HKEY_CURRENT_USER) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The value's type and text; type 0 when it is not there.
std::string ReadText(const char* path, const char* name, DWORD& type) {
    type = 0;
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS) {
        type = 0;
    }
    RegCloseKey(key);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What GetFileVersionInfoW reads from a file: "a.b.c.d" of the fixed part, then the
// Russian Unicode table's texts as "key=value" lines; empty when it has none.
std::string VersionOf(const std::string& path) {
    const std::wstring file(path.begin(), path.end());
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        return {};
    }
    void* value = nullptr;
    UINT size = 0;
    std::string out;
    if (VerQueryValueW(block.data(), L"\\", &value, &size) && size >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        out = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
              "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    }
    for (const wchar_t* key : {L"ProductName", L"FileVersion", L"ProductVersion", L"OriginalFilename"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041904B0\\") + key;
        if (VerQueryValueW(block.data(), query.c_str(), &value, &size) && size > 0) {
            std::string text;
            for (const wchar_t* c = static_cast<const wchar_t*>(value); *c != 0; ++c) text += static_cast<char>(*c);
            out += "\n" + std::string(key, key + wcslen(key)) + "=" + text;
        }
    }
    return out;
}

// Whether a PE file carries a symbol table (an unstripped build does).
bool HasSymbols(const std::string& image) {
    if (image.size() < 0x40) return false;
    std::uint32_t pe = 0, symbols = 0;
    memcpy(&pe, image.data() + 0x3C, 4);
    if (pe + 16 > image.size()) return false;
    memcpy(&symbols, image.data() + pe + 12, 4);
    return symbols != 0;
}

// Runs a program to its end; its exit code, or -1 when it did not start or end in time.
long RunToEnd(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0 ? static_cast<long>(code) : -1;
}

// Polls for up to 30 seconds; whether `done` came to hold.
template <typename Done>
bool Eventually(Done done) {
    for (int round = 0; round < 300; ++round) {
        if (done()) {
            return true;
        }
        Sleep(100);
    }
    return done();
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

// The first visible top-level window of the thread other than `except`.
HWND ThreadDialog(DWORD thread, HWND except) {
    return tarvik::testing_support::FirstThreadWindow(thread, [except](HWND window) {
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        return window != except && IsWindowVisible(window) && std::string(name) != "HH Parent";
    });
}

struct F1Outcome {
    bool dialogSeen = false;
    bool viewerSeen = false;
    std::vector<std::string> messages;  // what the plug-in asked the host to show
};

// Opens the TarvikChange editor of the loaded plug-in as the host does; an author
// presses and releases F1 in the field that has the focus, waits for the help viewer,
// and closes the dialog with its close box.
F1Outcome PressF1InTheChangeEditor(tarvik::host::Host& host, HWND hostWindow) {
    F1Outcome outcome;
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> seenDialog{false}, seenViewer{false};
    std::thread author([&] {
        HWND dialog = nullptr;
        for (int round = 0; round < 300 && dialog == nullptr; ++round) {
            Sleep(50);
            dialog = ThreadDialog(thread, hostWindow);
        }
        if (dialog == nullptr) {
            return;
        }
        seenDialog = true;
        Sleep(300);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread, &info);
        HWND focus = info.hwndFocus != nullptr ? info.hwndFocus : dialog;
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_F1, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(focus, WM_KEYDOWN, VK_F1, scan | 1);
        PostMessageW(focus, WM_KEYUP, VK_F1, scan | 1 | 0xC0000000);
        for (int round = 0; round < 60 && !seenViewer; ++round) {
            Sleep(50);
            seenViewer = FindWindowA("HH Parent", nullptr) != nullptr;
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    host.Messages.clear();
    std::vector<std::optional<std::string>> params{std::string("49268"), std::string("Ctrl+Alt+F6"),
                                                   std::string("HK")};
    EXPECT_FALSE(host.Edit(2, params)) << "the close box is not OK";
    author.join();
    outcome.dialogSeen = seenDialog;
    outcome.viewerSeen = seenViewer;
    outcome.messages = host.Messages;
    tarvik::platform::Os().HtmlHelp(nullptr, std::wstring(), tarvik::platform::kHhCloseAll, 0);
    PumpFor(300);
    return outcome;
}

TEST(Installer, InstallsUpgradesMovesAndUninstallsForTheRunningUser) {
    const std::string setup = SetupPath();
    ASSERT_TRUE(Exists(setup)) << setup;
    const bool makerKeyBefore = KeyExists("Software\\Halvenor");
    ASSERT_FALSE(KeyExists(kHelpKey)) << "the plug-in is installed already in this prefix";

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    // Two levels the installer makes, so that the uninstaller has both to take away.
    std::string base = std::string(temp) + "TarvikInstall" + std::to_string(GetCurrentProcessId());
    if (base.find(' ') != std::string::npos) {
        base = "C:\\TarvikInstall" + std::to_string(GetCurrentProcessId());  // /D= takes no blanks
    }
    const std::string folder = base + "\\Plugins";
    const std::string moved = base + "Moved";
    ASSERT_FALSE(Exists(base));
    ASSERT_FALSE(Exists(moved));

    // Without the help file installed, no help.
    EXPECT_FALSE(tarvik::about::ShowHelpTopic("TarvikChange"));
    const tarvik::host::HostWindow hostWindow("Lumora");
    {
        std::string error;
        auto library = tarvik::host::PluginLibrary::Load(std::string("Z:") + TARVIK_DLL_PATH, error);
        ASSERT_NE(library, nullptr) << error;
        tarvik::host::Host host(library->Api());
        host.Connect();
        const F1Outcome before = PressF1InTheChangeEditor(host, static_cast<HWND>(hostWindow.Handle()));
        EXPECT_TRUE(before.dialogSeen);
        EXPECT_FALSE(before.viewerSeen);
        EXPECT_EQ(before.messages, std::vector<std::string>{"Missing help file: maybe you need a plugin reinstallation?"});
    }

    EXPECT_EQ(RunToEnd("\"" + setup + "\" /S /D=" + folder), 0);
    ASSERT_TRUE(Eventually([&] { return Exists(folder + "\\uninstall.exe"); })) << folder;
    const std::string plugin = ReadFile(folder + "\\TarvikD.lmp");
    const std::string help = ReadFile(folder + "\\Tarvik.chm");
    EXPECT_EQ(help, ReadFile(ProgramFolder() + "Tarvik.chm"));
    EXPECT_GT(help.size(), 10000u);
    // The installed plug-in is the shipping one: stripped, and it names its version.
    EXPECT_FALSE(HasSymbols(plugin));
    EXPECT_LE(plugin.size(), ReadFile(TARVIK_DLL_PATH).size());
    EXPECT_EQ(VersionOf(folder + "\\TarvikD.lmp"),
              std::to_string(TARVIK_VERSION_MAJOR) + "." + std::to_string(TARVIK_VERSION_MINOR) +
                  ".0.0\nProductName=Tarvik\nFileVersion=" TARVIK_VERSION_TEXT
                  "\nProductVersion=" TARVIK_VERSION_TEXT "\nOriginalFilename=TarvikD.lmp");

    // The values are the running user's, written without elevation; nothing per machine.
    DWORD type = 0;
    EXPECT_EQ(ReadText(kHelpKey, "HelpFile", type), folder + "\\Tarvik.chm");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadText(kHelpKey, "InstallDir", type), folder);
    EXPECT_FALSE(KeyExists(kHelpKey, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ReadText(kUninstallKey, "UninstallString", type),
              "\"" + folder + "\\uninstall.exe\"");
    // Windows' list of programs shows the size of what was written, in kilobytes.
    DWORD estimated = 0, estimatedSize = sizeof estimated;
    RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize", RRF_RT_REG_DWORD, nullptr, &estimated,
                 &estimatedSize);
    EXPECT_GE(estimated, (plugin.size() + help.size()) / 1024);
    EXPECT_LE(estimated, (plugin.size() + help.size()) / 1024 + 2);

    // An upgrade while a host holds the plug-in: refused, nothing replaced, no skip.
    WriteFile(folder + "\\TarvikD.lmp", "an older plug-in");
    WriteFile(folder + "\\Tarvik.chm", "an older help file");
    {
        const HANDLE held = CreateFileA((folder + "\\TarvikD.lmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(RunToEnd("\"" + setup + "\" /S"), 2) << "a held plug-in: cancelled, no success";
        CloseHandle(held);
    }
    EXPECT_EQ(ReadFile(folder + "\\TarvikD.lmp"), "an older plug-in");
    EXPECT_EQ(ReadFile(folder + "\\Tarvik.chm"), "an older help file");
    // A place this user cannot write: Windows answers access denied, here because a folder
    // stands where the plug-in would go (root, as the tests run, may write any folder).
    // No retrying, a code of its own, nothing written, the copy installed kept.
    const std::string denied = base + "Denied";
    ASSERT_TRUE(CreateDirectoryA(denied.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((denied + "\\TarvikD.lmp").c_str(), nullptr));
    EXPECT_EQ(RunToEnd("\"" + setup + "\" /S /D=" + denied), 3) << "no write access: no success";
    EXPECT_FALSE(Exists(denied + "\\Tarvik.chm"));
    EXPECT_EQ(ReadText(kHelpKey, "InstallDir", type), folder);
    RemoveDirectoryA((denied + "\\TarvikD.lmp").c_str());
    RemoveDirectoryA(denied.c_str());

    // Let go, and the upgrade finds the remembered folder (no /D) and replaces the files.
    EXPECT_EQ(RunToEnd("\"" + setup + "\" /S"), 0);
    EXPECT_EQ(ReadFile(folder + "\\TarvikD.lmp"), plugin);
    EXPECT_EQ(ReadFile(folder + "\\Tarvik.chm"), help);
    EXPECT_EQ(ReadText(kHelpKey, "HelpFile", type), folder + "\\Tarvik.chm");

    // The plug-in's help lookup finds the installed file and the viewer opens on it.
    EXPECT_TRUE(tarvik::about::ShowHelpTopic("TarvikChange"));
    PumpFor(300);
    EXPECT_NE(FindWindowA("HH Parent", nullptr), nullptr);
    tarvik::platform::Os().HtmlHelp(nullptr, std::wstring(), tarvik::platform::kHhCloseAll, 0);
    PumpFor(300);
    EXPECT_EQ(FindWindowA("HH Parent", nullptr), nullptr);

    // The installed plug-in: F1 in an editor opens the viewer and sends no message.
    {
        std::string error;
        auto library = tarvik::host::PluginLibrary::Load(folder + "\\TarvikD.lmp", error);
        ASSERT_NE(library, nullptr) << error;
        tarvik::host::Host host(library->Api());
        host.Connect();
        const F1Outcome after = PressF1InTheChangeEditor(host, static_cast<HWND>(hostWindow.Handle()));
        EXPECT_TRUE(after.dialogSeen);
        EXPECT_TRUE(after.viewerSeen);
        EXPECT_TRUE(after.messages.empty()) << after.messages.front();
    }

    // An upgrade into another folder moves the copy: the old folders it made go.
    EXPECT_EQ(RunToEnd("\"" + setup + "\" /S /D=" + moved), 0);
    EXPECT_EQ(ReadFile(moved + "\\TarvikD.lmp"), plugin);
    EXPECT_FALSE(Exists(base)) << "the first copy's folders stay";
    EXPECT_EQ(ReadText(kHelpKey, "HelpFile", type), moved + "\\Tarvik.chm");

    // The uninstaller copies itself away and returns at once: wait for its effects.
    RunToEnd("\"" + moved + "\\uninstall.exe\" /S");
    EXPECT_TRUE(Eventually([&] { return !Exists(moved + "\\TarvikD.lmp"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(moved + "\\Tarvik.chm"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(moved + "\\uninstall.exe"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(moved); })) << "the emptied folder stays";
    EXPECT_TRUE(Eventually([] { return !KeyExists(kHelpKey); }));
    EXPECT_TRUE(Eventually([] { return !KeyExists(kUninstallKey); }));
    if (!makerKeyBefore) {
        EXPECT_TRUE(Eventually([] { return !KeyExists("Software\\Halvenor\\Corvane"); }));
        EXPECT_TRUE(Eventually([] { return !KeyExists("Software\\Halvenor"); }));
    }
    EXPECT_FALSE(tarvik::about::ShowHelpTopic("TarvikChange"));
}

}  // namespace
