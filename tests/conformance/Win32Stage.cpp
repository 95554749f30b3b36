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
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueHandle childInput, input, output, childOutput;
        if (CreatePipe(childInput.receive(), input.receive(), &inherited, 0) == FALSE ||
            CreatePipe(output.receive(), childOutput.receive(), &inherited, 0) == FALSE) {
            why = "no pipes";
            return nullptr;
        }
        SetHandleInformation(input.get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput.get();
        startup.hStdOutput = childOutput.get();
        startup.hStdError = childOutput.get();
        std::string commandLine = "\"" + holder + "\" " + std::to_string(modifiers) + " " +
                                  std::to_string(key);
        PROCESS_INFORMATION started{};
        if (CreateProcessA(holder.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                           CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started) == FALSE) {
            why = "CreateProcess failed with " + std::to_string(GetLastError());
            return nullptr;
        }
        UniqueHandle process(started.hProcess);
        CloseHandle(started.hThread);
        childInput.Reset();
        childOutput.Reset();

        std::string line;
        char byte = 0;
        DWORD read = 0;
        while (ReadFile(output.get(), &byte, 1, &read, nullptr) != FALSE && read == 1 &&
               byte != '\n') {
            if (byte != '\r') {
                line += byte;
            }
        }
        if (line != "held") {
            why = "tarvik-holder answered \"" + line + "\"";
            WaitForSingleObject(process.get(), 10000);
            return nullptr;
        }
        return std::make_unique<HolderProcess>(std::move(process), std::move(input));
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
