// How a host reaches the plug-in: its eight entry points, loaded from the DLL under
// Windows, or the plug-in's own code linked in natively (with the in-memory platform).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "plugin/UPluginTypes.h"

namespace tarvik::host {

struct PluginApi {
    decltype(&lmInitPlugIn) InitPlugIn = nullptr;
    decltype(&lmRegisterPlugIn) RegisterPlugIn = nullptr;
    decltype(&lmRegisterScriptProcessor) RegisterScriptProcessor = nullptr;
    decltype(&lmRegisterInterfaceAccess) RegisterInterfaceAccess = nullptr;
    decltype(&lmExecAction) ExecAction = nullptr;
    decltype(&lmEditAction) EditAction = nullptr;
    decltype(&lmAbout) About = nullptr;
    decltype(&lmMessage) Message = nullptr;
};

// One loaded copy of the plug-in. Loading runs the library's start-up, destruction its
// shut-down (FreeLibrary under Windows).
class PluginLibrary {
public:
    // Null and a reason in `error` when the library cannot be loaded or lacks an entry point.
    static std::unique_ptr<PluginLibrary> Load(const std::string& path, std::string& error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const PluginApi& Api() const { return api_; }

    // From now on the plug-in finds the system's high-contrast mode on, as after the user
    // turned it on. Wine always answers SPI_GETHIGHCONTRAST with "off": under Windows the
    // DLL's import of SystemParametersInfoW answers that one question, and passes every
    // other on; the linked plug-in's in-memory platform is told. False when it could not.
    bool ReportHighContrast();

private:
    PluginLibrary() = default;
    PluginApi api_;
    [[maybe_unused]] void* module_ = nullptr;  // the DLL, in the Windows build
    std::shared_ptr<void> highContrast_;       // what ReportHighContrast put in place
};

#if defined(_WIN32) && defined(__i386__)
// The 32-bit host calls every entry point, and takes every callback, through checks of
// the stdcall convention as the host declares it (CallingConvention_i686.cpp). The entry
// points of one loaded library at a time are checked.
void CheckCallingConvention(PluginApi& api);
#endif

// The host's side of the operating system: the global allocator it shares with the
// plug-in, its message loop, and the user's keyboard.
namespace system {
void* Alloc(std::size_t bytes);
void Free(void* block);
// Dispatches this thread's messages for about `milliseconds`, or until `done` says so.
void PumpMessages(int milliseconds, bool (*done)(void*) = nullptr, void* context = nullptr);
// Presses and releases a combination (modifier flags MOD_ALT 1, MOD_CONTROL 2,
// MOD_SHIFT 4, MOD_WIN 8) as the user would.
bool PressKeys(unsigned modifiers, unsigned key);
// A host text (ANSI code page) as UTF-8, for printing on a console.
std::string ToUtf8(const std::string& text);
#if defined(_WIN32) && defined(__i386__)
// Where the calling-convention checks report a fault, one text naming the entry point or
// callback; faults found before a reporter is set are handed to it when it is set.
void OnCallingConventionFault(void (*report)(const std::string& fault));
// Calls `function` as stdcall with these 32-bit words; `moved` is how far the stack
// pointer moved across the call (0 when the callee popped exactly its arguments).
std::uint32_t CallStdcallChecked(const void* function, std::initializer_list<std::uint32_t> words,
                                 std::int32_t& moved);
#endif
}  // namespace system

}  // namespace tarvik::host
