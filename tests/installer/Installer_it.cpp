// The 64-bit installer end to end under the real Win32 API: a silent install into a
// fresh folder, the files and the registry value it leaves, help found through them, and
// a silent uninstall that takes the files, the value and the keys away again.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Host.h"
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

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
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
    tarvik::platform::Os().HtmlHelp(nullptr, std::string(), tarvik::platform::kHhCloseAll, 0);
    PumpFor(300);
    return outcome;
}

TEST(Installer, InstallsSilentlyRegistersTheHelpFileAndUninstallsEverything) {
    const std::string setup = ProgramFolder() + "Tarvik-setup.exe";
    ASSERT_TRUE(Exists(setup)) << setup;
    const bool makerKeyBefore = KeyExists("Software\\Halvenor");
    ASSERT_FALSE(KeyExists(kHelpKey)) << "the plug-in is installed already in this prefix";

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "TarvikInstall" + std::to_string(GetCurrentProcessId());
    if (folder.find(' ') != std::string::npos) {
        folder = "C:\\TarvikInstall" + std::to_string(GetCurrentProcessId());  // /D= takes no blanks
    }
    ASSERT_FALSE(Exists(folder));

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

    RunToEnd("\"" + setup + "\" /S /D=" + folder);
    ASSERT_TRUE(Eventually([&] { return Exists(folder + "\\uninstall.exe"); })) << folder;
    EXPECT_EQ(ReadFile(folder + "\\TarvikD.lmp"), ReadFile(TARVIK_DLL_PATH));
    EXPECT_EQ(ReadFile(folder + "\\Tarvik.chm"), ReadFile(ProgramFolder() + "Tarvik.chm"));
    EXPECT_GT(ReadFile(folder + "\\Tarvik.chm").size(), 10000u);

    DWORD type = 0;
    EXPECT_EQ(ReadText(kHelpKey, "HelpFile", type), folder + "\\Tarvik.chm");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadText(kUninstallKey, "UninstallString", type),
              "\"" + folder + "\\uninstall.exe\"");

    // The plug-in's help lookup finds the installed file and the viewer opens on it.
    EXPECT_TRUE(tarvik::about::ShowHelpTopic("TarvikChange"));
    PumpFor(300);
    EXPECT_NE(FindWindowA("HH Parent", nullptr), nullptr);
    tarvik::platform::Os().HtmlHelp(nullptr, std::string(), tarvik::platform::kHhCloseAll, 0);
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

    // The uninstaller copies itself away and returns at once: wait for its effects.
    RunToEnd("\"" + folder + "\\uninstall.exe\" /S");
    EXPECT_TRUE(Eventually([&] { return !Exists(folder + "\\TarvikD.lmp"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(folder + "\\Tarvik.chm"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(folder + "\\uninstall.exe"); }));
    EXPECT_TRUE(Eventually([&] { return !Exists(folder); })) << "the emptied folder stays";
    EXPECT_TRUE(Eventually([&] {
        DWORD left = 0;
        ReadText(kHelpKey, "HelpFile", left);
        return left == 0;
    }));
    EXPECT_TRUE(Eventually([] { return !KeyExists(kHelpKey); }));
    EXPECT_TRUE(Eventually([] { return !KeyExists(kUninstallKey); }));
    if (!makerKeyBefore) {
        EXPECT_TRUE(Eventually([] { return !KeyExists("Software\\Halvenor\\Corvane"); }));
        EXPECT_TRUE(Eventually([] { return !KeyExists("Software\\Halvenor"); }));
    }
    EXPECT_FALSE(tarvik::about::ShowHelpTopic("TarvikChange"));
}

}  // namespace
