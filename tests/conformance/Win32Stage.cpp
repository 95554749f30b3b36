// The real platform on the stage: key strokes are synthesised with SendInput, the
// thread's queue is pumped with PeekMessage, and the other process is tarvik-holder,
// started from the folder of this program.
#ifdef TARVIK_REAL_PLATFORM

#include "ConformanceStage.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::platform {
Platform& DefaultPlatform();
}

namespace tarvik::conformance {
namespace {

// Owns a kernel handle.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE get() const { return handle_; }
    HANDLE* receive() {
        Reset();
        return &handle_;
    }
    void Reset() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// A running tarvik-holder: told to let go and waited for when this object ends.
class HolderProcess final : public OtherProcessHold {
public:
    HolderProcess(UniqueHandle process, UniqueHandle input)
        : process_(std::move(process)), input_(std::move(input)) {}
    ~HolderProcess() override {
        DWORD written = 0;
        WriteFile(input_.get(), "\n", 1, &written, nullptr);
        input_.Reset();
        WaitForSingleObject(process_.get(), 10000);
    }

private:
    UniqueHandle process_;
    UniqueHandle input_;
};

std::string HolderPath() {
    return std::string("Z:") + TARVIK_HOLDER_PATH;
}

// A started tarvik-holder: its process, the write end of its input, its first line.
struct StartedHolder {
    UniqueHandle process;
    UniqueHandle input;
    std::string firstLine;
};

// Starts `program` with `arguments` and reads the first line it writes; no process, with
// the reason in `why`, when it cannot be started.
StartedHolder StartHolder(const std::string& program, const std::string& arguments,
                          std::string& why) {
    StartedHolder started;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle childInput, output, childOutput;
    if (CreatePipe(childInput.receive(), started.input.receive(), &inherited, 0) == FALSE ||
        CreatePipe(output.receive(), childOutput.receive(), &inherited, 0) == FALSE) {
        why = "no pipes";
        return {};
    }
    SetHandleInformation(started.input.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = childOutput.get();
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info) == FALSE) {
        why = "CreateProcess failed with " + std::to_string(GetLastError());
        return {};
    }
    started.process = UniqueHandle(info.hProcess);
    CloseHandle(info.hThread);
    childInput.Reset();
    childOutput.Reset();

    char byte = 0;
    DWORD read = 0;
    while (ReadFile(output.get(), &byte, 1, &read, nullptr) != FALSE && read == 1 &&
           byte != '\n') {
        if (byte != '\r') {
            started.firstLine += byte;
        }
    }
    return started;
}

WORD ModifierKey(unsigned flag) {
    switch (flag) {
        case platform::kModAlt: return VK_MENU;
        case platform::kModControl: return VK_CONTROL;
        case platform::kModShift: return VK_SHIFT;
        default: return VK_LWIN;
    }
}

INPUT KeyStroke(WORD key, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    return input;
}

DWORD WINAPI RunWork(LPVOID work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

class Win32Stage final : public Stage {
public:
    void OnOtherThread(const std::function<void()>& work) override {
        HANDLE thread = CreateThread(nullptr, 0, RunWork,
                                     const_cast<std::function<void()>*>(&work), 0, nullptr);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    }

    platform::Platform& Os() override { return platform::DefaultPlatform(); }

    platform::Atom FindGlobalAtom(const std::string& name) override {
        return GlobalFindAtomA(name.c_str());
    }

    unsigned AnsiCodePage() override { return GetACP(); }

    bool IsWine() override {
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }

    void Press(unsigned modifiers, unsigned key) override {
        std::vector<WORD> held;
        for (unsigned flag : {platform::kModControl, platform::kModShift, platform::kModAlt,
                              platform::kModWin}) {
            if ((modifiers & flag) != 0) {
                held.push_back(ModifierKey(flag));
            }
        }
        std::vector<INPUT> strokes;
        for (WORD modifier : held) {
            strokes.push_back(KeyStroke(modifier, false));
        }
        strokes.push_back(KeyStroke(static_cast<WORD>(key), false));
        strokes.push_back(KeyStroke(static_cast<WORD>(key), true));
        for (auto it = held.rbegin(); it != held.rend(); ++it) {
            strokes.push_back(KeyStroke(*it, true));
        }
        SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT));
    }

    bool PumpUntil(const std::function<bool()>& done) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
                DispatchMessageA(&message);
            }
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }

    std::unique_ptr<OtherProcessHold> HoldElsewhere(unsigned modifiers, unsigned key,
                                                    std::string& why) override {
        const std::string holder = HolderPath();
        if (GetFileAttributesA(holder.c_str()) == INVALID_FILE_ATTRIBUTES) {
            why = holder + " is not built";
            return nullptr;
        }
        StartedHolder started = StartHolder(
            holder, std::to_string(modifiers) + " " + std::to_string(key), why);
        if (started.process.get() == nullptr) {
            return nullptr;
        }
        if (started.firstLine != "held") {
            why = "tarvik-holder answered \"" + started.firstLine + "\"";
            WaitForSingleObject(started.process.get(), 10000);
            return nullptr;
        }
        return std::make_unique<HolderProcess>(std::move(started.process),
                                               std::move(started.input));
    }

    LoadedLibrary HelpLibraryBesidePlantedCopy() override {
        // A copy of the holder in a folder of its own, beside a library that is not the
        // viewer's but carries its name.
        const std::string holder = HolderPath();
        const std::string built = holder.substr(0, holder.find_last_of("\\/") + 1);
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string folder = std::string(temp) + "TarvikPlanted-" +
                                   std::to_string(GetCurrentProcessId());
        const std::string program = folder + "\\tarvik-holder.exe";
        const std::string planted = folder + "\\hhctrl.ocx";
        CreateDirectoryA(folder.c_str(), nullptr);
        LoadedLibrary result;
        if (CopyFileA(holder.c_str(), program.c_str(), FALSE) != FALSE &&
            CopyFileA((built + "tarvik-decoy.dll").c_str(), planted.c_str(), FALSE) != FALSE) {
            std::string why;
            StartedHolder started = StartHolder(program, "help-library", why);
            result.loaded = started.process.get() != nullptr ? started.firstLine : why;
            WaitForSingleObject(started.process.get(), 10000);
        } else {
            result.loaded = "the planted folder could not be made";
        }
        DeleteFileA(program.c_str());
        DeleteFileA(planted.c_str());
        RemoveDirectoryA(folder.c_str());
        char system[MAX_PATH + 1] = {};
        GetSystemDirectoryA(system, MAX_PATH);
        result.systemCopy = std::string(system) + "\\hhctrl.ocx";
        return result;
    }

    std::string UniquePrefix() override {
        return "TarvikConformance." + std::to_string(GetCurrentProcessId()) + ".";
    }
};

}  // namespace

std::unique_ptr<Stage> MakeWin32Stage() {
    return std::make_unique<Win32Stage>();
}

}  // namespace tarvik::conformance

#endif  // TARVIK_REAL_PLATFORM
