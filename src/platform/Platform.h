// The operating-system seam. Every call the run-time code makes into Windows goes
// through one Platform object: the real one forwards to Win32 (Platform_win.cpp), the
// fake one (tests/fake/platform/FakePlatform.h) keeps an in-memory model of the same
// behaviour for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::platform {

class Platform;

using WindowHandle = void*;  // HWND
using LayoutHandle = void*;  // HKL
using Atom = std::uint16_t;  // ATOM

// Win32 values the seam speaks in.
constexpr std::uint32_t kWmHotKey = 0x0312;
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;
constexpr std::uint32_t kErrorWindowOfOtherThread = 1408;
constexpr std::uint32_t kErrorHotkeyAlreadyRegistered = 1409;
constexpr std::uint32_t kErrorHotkeyNotRegistered = 1419;
constexpr unsigned kMapVkToVsc = 0;         // MAPVK_VK_TO_VSC
constexpr unsigned kKlfNoTellShell = 0x80;  // KLF_NOTELLSHELL
constexpr unsigned kModAlt = 1, kModControl = 2, kModShift = 4, kModWin = 8;
constexpr Atom kFirstStringAtom = 0xC000;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr std::uint32_t kFileAttributeDirectory = 0x10;        // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kKeyRead = 0x20019;                    // KEY_READ
constexpr std::uint32_t kKeyAllAccess = 0xF003F;               // KEY_ALL_ACCESS
constexpr std::uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4,
                        kRegMultiSz = 7;
constexpr unsigned kHhDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr unsigned kHhCloseAll = 0x12;   // HH_CLOSE_ALL

using RegistryKey = void*;  // HKEY

// A handle the platform handed out, given back to the same platform when its owner goes:
// move-only, one line per kind (below), in the shape of the window layer's owners.
template <typename Handle, typename Release>
class PlatformHandle {
public:
    PlatformHandle() noexcept = default;
    PlatformHandle(Platform& os, Handle handle) noexcept : os_(&os), handle_(handle) {}
    PlatformHandle(const PlatformHandle&) = delete;
    PlatformHandle& operator=(const PlatformHandle&) = delete;
    PlatformHandle(PlatformHandle&& other) noexcept
        : os_(other.os_), handle_(std::exchange(other.handle_, nullptr)) {}
    PlatformHandle& operator=(PlatformHandle&& other) noexcept {
        if (this != &other) {
            reset();
            os_ = other.os_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~PlatformHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    // Gives the handle up without giving it back (the system takes it with the process).
    Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset() noexcept {
        if (const Handle old = std::exchange(handle_, nullptr); old != nullptr) {
            Release()(*os_, old);
        }
    }

private:
    Platform* os_ = nullptr;
    Handle handle_ = nullptr;
};

struct CloseRegistryKeyOf {
    void operator()(Platform& os, RegistryKey key) const noexcept;
};
struct UnloadLayoutOf {
    void operator()(Platform& os, LayoutHandle layout) const noexcept;
};
using UniqueRegistryKey = PlatformHandle<RegistryKey, CloseRegistryKeyOf>;  // RegCloseKey
// A layout loaded for the process by whoever holds it: UnloadKeyboardLayout.
using UniqueLayout = PlatformHandle<LayoutHandle, UnloadLayoutOf>;

// A value read from an open key: its type and its bytes as stored.
struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

// What an open-file or save-file dialog hands back when the user confirms it.
struct FileChoice {
    std::wstring fileName;            // the first chosen file, full path
    std::vector<std::wstring> files;  // every chosen file, full paths, in the dialog's order
};

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
    // Whether the global allocator takes the address for one of its own fixed blocks
    // (GlobalHandle gives back the same address). Anything else a host leaves in a cell
    // (a static text, a block of another heap, the middle of a block) is not freed.
    virtual bool IsGlobalFixedBlock(const void* block) = 0;

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
    std::string LoadText(unsigned id) { return WideToAnsi(LoadWideText(id)); }

    // --- Shell and windows -------------------------------------------------------------
    virtual WindowHandle ActiveWindow() = 0;  // GetActiveWindow
    // SystemParametersInfoW(SPI_GETHIGHCONTRAST): whether HCF_HIGHCONTRASTON is set; false
    // when the system does not answer.
    virtual bool HighContrast() = 0;
    // ShellExecuteA(owner, "open", file, parameters, no directory, show); the raw result.
    virtual std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                                    const std::string& parameters, int show) = 0;

    // --- Global atoms --------------------------------------------------------------------
    virtual Atom AddGlobalAtom(const std::string& name) = 0;     // GlobalAddAtomA, 0 on failure
    virtual Atom DeleteGlobalAtom(Atom atom) = 0;                // GlobalDeleteAtom, 0 on success

    // --- Hotkeys -------------------------------------------------------------------------
    virtual bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers,
                                unsigned key) = 0;
    virtual bool UnregisterHotKey(WindowHandle window, int id) = 0;

    // --- The hidden window -------------------------------------------------------------
    // A window that is never shown, owned by the calling thread, whose messages go to
    // sink. Null on failure. It is made of a class of the system's, so that no class
    // with a procedure in the library outlives the library.
    virtual WindowHandle CreateHiddenWindow(MessageSink* sink) = 0;
    // Ends a hidden window; the sink hears nothing more of it from the moment of the
    // call. On the window's own thread it is destroyed at once (its hotkeys go with it).
    // From another thread, where the system refuses to destroy it, it is handed back to
    // its class's procedure and closes itself, with its hotkeys, as soon as its own
    // thread pumps messages. False for a window that is not a live hidden window.
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
    // LoadKeyboardLayoutA: the layout's handle, whether loaded now or there before; the
    // caller that loaded it owns it with a UniqueLayout.
    virtual LayoutHandle LoadLayout(const std::string& id, unsigned flags) = 0;
    virtual LayoutHandle ActivateLayout(LayoutHandle layout, unsigned flags) = 0;
    virtual bool UnloadLayout(LayoutHandle layout) = 0;

    // --- Texts of the dialogs --------------------------------------------------------------
    // The dialogs are Unicode windows; the host speaks the ANSI code page. Conversions use
    // CP_ACP (MultiByteToWideChar / WideCharToMultiByte, the system's default character
    // for what the code page cannot show).
    virtual std::wstring AnsiToWide(const std::string& text) = 0;
    virtual std::string WideToAnsi(const std::wstring& text) = 0;
    // An entry of the library's string table as UTF-16 (LoadStringW); empty when absent.
    virtual std::wstring LoadWideText(unsigned id) = 0;
    // The bytes of one of the library's raw-data (RCDATA) resources, found by name
    // (FindResourceA, LoadResource, LockResource, SizeofResource); empty when absent.
    virtual std::vector<std::uint8_t> LoadRawResource(const std::string& name) {
        (void)name;
        return {};
    }

    // --- Registry ------------------------------------------------------------------------
    // Paths, value names, text values and file names are UTF-16 here: the installer writes
    // the help file's path as a Unicode value, and the ANSI functions would turn every
    // character outside the ANSI code page into "?".
    // RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access): the library reads the current
    // user's settings only. Never creates a key. Empty with the system's error code in
    // `error` when the key cannot be opened with that access.
    virtual UniqueRegistryKey OpenRegistryKey(const std::wstring& path, std::uint32_t access,
                                              std::uint32_t& error) = 0;
    // RegCloseKey: what a UniqueRegistryKey calls when it goes.
    virtual void CloseRegistryKey(RegistryKey key) = 0;
    // RegQueryValueExW of a named value: false when the key has no such value. A text
    // value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) comes as UTF-16LE bytes, as stored.
    virtual bool QueryRegistryValue(RegistryKey key, const std::wstring& name,
                                    RegistryValue& value) = 0;

    // --- Files ---------------------------------------------------------------------------
    virtual std::uint32_t FileAttributes(const std::wstring& path) = 0;  // GetFileAttributesW

    // --- HTML Help -------------------------------------------------------------------------
    // HtmlHelpW of the system folder's hhctrl.ocx, loaded when help is first asked for.
    // The viewer's window, or null when it opened nothing or hhctrl.ocx (or its HtmlHelpW)
    // is missing.
    virtual WindowHandle HtmlHelp(WindowHandle caller, const std::wstring& file,
                                  unsigned command, std::uintptr_t data) = 0;

    // --- Choosers --------------------------------------------------------------------------
    // GetOpenFileNameW (save false) or GetSaveFileNameW (save true) owned by `owner`, with
    // multiple selection allowed on top of the standard options, and no filter, title or
    // starting folder. False when the user cancels.
    virtual bool ChooseFiles(WindowHandle owner, bool save, FileChoice& choice) = 0;
    // SHBrowseForFolderW with this caption, no root and no preselected folder, new dialog
    // style, file-system folders only, no new-folder button. False when cancelled.
    virtual bool BrowseForFolder(WindowHandle owner, const std::wstring& caption,
                                 std::wstring& path) = 0;
};

inline void CloseRegistryKeyOf::operator()(Platform& os, RegistryKey key) const noexcept {
    os.CloseRegistryKey(key);
}

inline void UnloadLayoutOf::operator()(Platform& os, LayoutHandle layout) const noexcept {
    os.UnloadLayout(layout);
}

// The platform the run-time code talks to. In a Windows build it starts as the real
// one; elsewhere a test installs a fake before the first call.
Platform& Os();
// Installs a platform (tests); null puts the build's default back.
void SetOs(Platform* platform);

}  // namespace tarvik::platform
