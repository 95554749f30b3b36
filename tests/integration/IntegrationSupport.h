// Shared by the integration tests: the built DLL loaded through its exports by the test
// host, a second process that holds a combination, and pumping until something happens.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "Host.h"
#include "PluginApi.h"
#include "support/CallingConventionFaults.h"

namespace tarvik::integration {

// The DLL under test, as a path Windows (and Wine's Z: drive) understands.
inline std::string DllPath() {
    return std::string("Z:") + TARVIK_DLL_PATH;
}

// Loads the DLL for the test and unloads it afterwards; the host is connected.
class PluginFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        library_ = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library_, nullptr) << error;
        host_ = std::make_unique<host::Host>(library_->Api());
        host_->Connect();
    }
    void TearDown() override {
        if (host_ != nullptr) {
            host_->Exec(5, {});  // TarvikClear: nothing of ours stays held in the wineserver
        }
        host_.reset();
        library_.reset();
    }

    host::Host& Plugin() { return *host_; }

    std::unique_ptr<host::PluginLibrary> library_;
    std::unique_ptr<host::Host> host_;
};

// The window procedure of the test host's windows: it counts the WM_HELP messages that
// reach them (a host that opens its own help on WM_HELP would show a second help window).
inline int hostHelpMessages = 0;
inline LRESULT CALLBACK HostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HELP) {
        ++hostHelpMessages;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Pumps the thread's messages until `done` is true or about `milliseconds` pass.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 3000) {
    auto check = [](void* context) { return (*static_cast<const std::function<bool()>*>(context))(); };
    host::system::PumpMessages(milliseconds, check, const_cast<std::function<bool()>*>(&done));
    return done();
}

// A second process that holds one combination until it is destroyed.
class HolderProcess {
public:
    HolderProcess(unsigned modifiers, unsigned key);
    ~HolderProcess();
    HolderProcess(const HolderProcess&) = delete;
    HolderProcess& operator=(const HolderProcess&) = delete;

    // True once the other process reported that it holds the combination.
    bool Holds() const { return holds_; }
    const std::string& Report() const { return report_; }

private:
    PROCESS_INFORMATION process_{};
    HANDLE input_ = nullptr;   // our end of its standard input
    HANDLE output_ = nullptr;  // our end of its standard output
    bool holds_ = false;
    std::string report_;
};

inline HolderProcess::HolderProcess(unsigned modifiers, unsigned key) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!CreatePipe(&childIn, &input_, &inherit, 0) || !CreatePipe(&output_, &childOut, &inherit, 0)) {
        report_ = "CreatePipe failed";
        return;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string command = std::string("\"Z:") + TARVIK_HOLDER_PATH + "\" " +
                          std::to_string(modifiers) + " " + std::to_string(key);
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process_);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        report_ = "CreateProcess failed with error " + std::to_string(GetLastError());
        return;
    }
    // The first line it prints says whether it holds the combination.
    char c = 0;
    DWORD read = 0;
    while (ReadFile(output_, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
        if (c != '\r') {
            report_ += c;
        }
    }
    holds_ = report_ == "held";
}

inline HolderProcess::~HolderProcess() {
    if (input_ != nullptr) {
        CloseHandle(input_);  // end of input: the holder lets go and exits
    }
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 2);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    if (output_ != nullptr) {
        CloseHandle(output_);
    }
}

}  // namespace tarvik::integration
