// The 64-bit installer end to end under the real Win32 API: a silent install into a
// fresh folder, the files and the registry value it leaves, help found through them, and
// a silent uninstall that takes the files, the value and the keys away again.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "about/UHelpTopics.h"
#include "platform/Platform.h"

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
