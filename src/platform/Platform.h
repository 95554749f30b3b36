// The operating-system seam. Every call the run-time code makes into Windows goes
// through one Platform object: the real one forwards to Win32 (Platform_win.cpp), the
// fake one (FakePlatform.h) keeps an in-memory model of the same behaviour for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::platform {

using WindowHandle = void*;  // HWND
using LayoutHandle = void*;  // HKL
using Atom = std::uint16_t;  // ATOM

// Win32 values the seam speaks in.
constexpr std::uint32_t kWmHotKey = 0x0312;
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;
constexpr std::uint32_t kErrorHotkeyAlreadyRegistered = 1409;
constexpr std::uint32_t kErrorHotkeyNotRegistered = 1419;
constexpr unsigned kMapVkToVsc = 0;         // MAPVK_VK_TO_VSC
constexpr unsigned kKlfNoTellShell = 0x80;  // KLF_NOTELLSHELL
constexpr unsigned kModAlt = 1, kModControl = 2, kModShift = 4, kModWin = 8;
constexpr Atom kFirstStringAtom = 0xC000;

// Receives the messages of a hidden window, on the thread that created the window.
// The implementation must not throw: it runs inside a window procedure.
class MessageSink {
public:
    virtual std::intptr_t HandleMessage(WindowHandle window, std::uint32_t message,
                                        std::uintptr_t wParam, std::intptr_t lParam) noexcept = 0;

protected:
    ~MessageSink() = default;
};

// Member names avoid the Win32 function names that <windows.h> turns into macros.
class Platform {
public:
    virtual ~Platform() = default;

    // --- Last error ------------------------------------------------------------------
    virtual std::uint32_t LastError() = 0;            // GetLastError
    virtual void SetLastError(std::uint32_t code) = 0;  // SetLastError
    // FormatMessageA from the system table, default language, inserts ignored, at most
    // 255 characters; the text exactly as the system gives it (trailing line break
    // included), or empty when the system has none.
    virtual std::string SystemMessage(std::uint32_t code) = 0;

    // --- Global memory (GMEM_FIXED blocks) ---------------------------------------------
    virtual void* GlobalAlloc(std::size_t bytes) = 0;  // null on failure
    virtual void* GlobalFree(void* block) = 0;         // null on success, else the block

    // --- Locale ------------------------------------------------------------------------
    // CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, ...) == CSTR_EQUAL, whole texts.
    virtual bool EqualIgnoreCase(const std::string& a, const std::string& b) = 0;
    // LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE): the text's sort
    // key, bytes as the system gives them, into `key` (whose storage is reused). False,
    // with `key` empty, when the system gives none. The text holds no NUL.
    virtual bool ComparisonKey(const std::string& text, std::string& key) = 0;
    virtual std::uint32_t UserLocale() = 0;  // GetUserDefaultLCID
    virtual unsigned AnsiCodePage() = 0;     // GetACP

    // --- Resources -----------------------------------------------------------------------
    // An entry of the library's string table, converted to the ANSI code page; empty
    // when there is no such entry.
    virtual std::string LoadText(unsigned id) = 0;

    // --- Shell and windows -------------------------------------------------------------
    virtual WindowHandle ActiveWindow() = 0;  // GetActiveWindow
    // ShellExecuteA(owner, "open", file, parameters, no directory, show); the raw result.
    virtual std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                                    const std::string& parameters, int show) = 0;

    // --- Global atoms --------------------------------------------------------------------
    virtual Atom AddGlobalAtom(const std::string& name) = 0;     // GlobalAddAtomA, 0 on failure
    virtual Atom DeleteGlobalAtom(Atom atom) = 0;                // GlobalDeleteAtom, 0 on success
    virtual Atom FindGlobalAtom(const std::string& name) = 0;    // GlobalFindAtomA, 0 when absent

    // --- Hotkeys -------------------------------------------------------------------------
    virtual bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers,
                                unsigned key) = 0;
    virtual bool UnregisterHotKey(WindowHandle window, int id) = 0;

    // --- The hidden window -------------------------------------------------------------
    // A window that is never shown, owned by the calling thread, whose messages go to
    // sink. Null on failure. The window class is the library's own and is unregistered
    // again when its last window is destroyed.
    virtual WindowHandle CreateHiddenWindow(MessageSink* sink) = 0;
    virtual bool DestroyHiddenWindow(WindowHandle window) = 0;
    virtual std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // --- Keyboard ------------------------------------------------------------------------
    virtual unsigned MapVirtualKeyCode(unsigned code, unsigned mapType) = 0;  // MapVirtualKeyA
    virtual unsigned MapVirtualKeyCodeEx(unsigned code, unsigned mapType,
                                     LayoutHandle layout) = 0;  // MapVirtualKeyExA
    // GetKeyNameTextA with a 256-character buffer; the name up to its first NUL.
    virtual std::string KeyNameText(std::int32_t lParam) = 0;
    virtual LayoutHandle ThreadLayout() = 0;  // GetKeyboardLayout(0)
    virtual std::vector<LayoutHandle> LayoutList(int maxCount) = 0;  // GetKeyboardLayoutList
    virtual LayoutHandle LoadLayout(const std::string& id, unsigned flags) = 0;
    virtual LayoutHandle ActivateLayout(LayoutHandle layout, unsigned flags) = 0;
    virtual bool UnloadLayout(LayoutHandle layout) = 0;
};

// The platform the run-time code talks to. In a Windows build it starts as the real
// one; elsewhere a test installs a fake before the first call.
Platform& Os();
// Installs a platform (tests); null puts the build's default back.
void SetOs(Platform* platform);

}  // namespace tarvik::platform
