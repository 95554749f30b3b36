// The real platform: each call forwards to the Win32 function that Platform.h names.
// The one object lives for the whole process and is constant-initialised, so the DLL's
// entry routine may use it before any static constructor has run.
#include <windows.h>
#include <commdlg.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <climits>
#include <utility>

#include "base/UUniqueHandle.h"
#include "platform/Module_win.h"
#include "platform/Platform.h"

namespace tarvik::platform {
namespace {

// The folder browser's answer, an item list the shell allocated.
using UniqueItemList = base::UniqueHandle<PIDLIST_ABSOLUTE, ::ILFree>;

// The hidden window is a message-only window of the system's "STATIC" class with the
// library's procedure put in place of the class's. Nothing the library registers with
// the system carries its code: a window left behind by an unload from another thread
// falls back to the system's procedure and closes itself there.
constexpr const char* kHiddenWindowClass = "STATIC";

// The hidden window's procedure: the sink lives in the window's user data until
// DestroyHiddenWindow detaches it. Sinks do not throw.
LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam,
                                  LPARAM lParam) noexcept {
    auto* sink = reinterpret_cast<MessageSink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (sink == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return sink->HandleMessage(window, message, static_cast<std::uintptr_t>(wParam),
                               static_cast<std::intptr_t>(lParam));
}

LONG_PTR HiddenWindowProcValue() noexcept {
    return reinterpret_cast<LONG_PTR>(&HiddenWindowProc);
}

// Whether the window is one of ours and still carries our procedure.
bool IsHiddenWindow(HWND window) noexcept {
    return IsWindow(window) != FALSE &&
           GetWindowLongPtrA(window, GWLP_WNDPROC) == HiddenWindowProcValue();
}

// Keeps the last error of a failed call across clean-up calls that may change it.
class PreservedError {
public:
    PreservedError() noexcept : code_(GetLastError()) {}
    PreservedError(const PreservedError&) = delete;
    PreservedError& operator=(const PreservedError&) = delete;
    ~PreservedError() { ::SetLastError(code_); }

private:
    DWORD code_;
};

HWND Hwnd(WindowHandle window) noexcept {
    return static_cast<HWND>(window);
}

HKL Hkl(LayoutHandle layout) noexcept {
    return static_cast<HKL>(layout);
}

// Text lengths that Win32 takes as int; longer texts do not occur in this library.
int Length(const std::string& text) noexcept {
    return text.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                          : static_cast<int>(text.size());
}

// Text conversions through the ANSI code page; an empty text converts to an empty text.
std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), Length(text), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), Length(text), wide.data(), length);
    return wide;
}

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

// The answer of a multiple-selection file dialog: one full path, or a folder followed by
// the names chosen in it, each ended by a zero and the whole by a second zero.
FileChoice ReadFileChoice(const wchar_t* buffer) {
    FileChoice choice;
    std::wstring first(buffer);
    const wchar_t* next = buffer + first.size() + 1;
    if (*next == L'\0') {
        choice.files.push_back(first);
    } else {
        std::wstring folder = first;
        if (!folder.empty() && folder.back() != L'\\') {
            folder += L'\\';
        }
        while (*next != L'\0') {
            const std::wstring name(next);
            choice.files.push_back(folder + name);
            next += name.size() + 1;
        }
    }
    choice.fileName = choice.files.empty() ? first : choice.files.front();
    return choice;
}

// COM for the folder browser's new dialog style, for as long as the browser is open.
class OleSession {
public:
    OleSession() noexcept : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (initialised_) {
            OleUninitialize();
        }
    }

private:
    bool initialised_;
};

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// A library Windows ships, loaded from the system folder by its full path: by its bare
// name the loader would look in the host program's folder first, and a copy planted there
// would run inside the host. Its own dependencies are looked for beside it.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length > MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

class Win32Platform final : public Platform {
public:
    constexpr Win32Platform() noexcept = default;

    std::uint32_t LastError() override { return GetLastError(); }

    void SetLastError(std::uint32_t code) override { ::SetLastError(code); }

    std::string SystemMessage(std::uint32_t code) override {
        char text[256];
        const DWORD length = FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
            0, text, sizeof(text), nullptr);
        return std::string(text, length);
    }

    void* GlobalAlloc(std::size_t bytes) override { return ::GlobalAlloc(GMEM_FIXED, bytes); }

    void* GlobalFree(void* block) override { return ::GlobalFree(block); }

    bool IsGlobalFixedBlock(const void* block) override {
        // GlobalHandle checks the address against the allocator's own records and fails
        // (error 6) for one it did not hand out; a fixed block is its own handle.
        return block != nullptr && ::GlobalHandle(block) == block;
    }

    bool EqualIgnoreCase(const std::string& a, const std::string& b) override {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), Length(a),
                              b.data(), Length(b)) == CSTR_EQUAL;
    }

    bool ComparisonKey(const std::string& text, std::string& key) override {
        constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
        // An empty source length is refused; the empty text is passed NUL-terminated.
        const char* source = text.empty() ? "" : text.data();
        const int length = text.empty() ? -1 : Length(text);
        constexpr std::size_t kFirstTry = 128;  // every key name's key fits
        if (key.size() < kFirstTry) {
            key.resize(kFirstTry);
        }
        int bytes = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, source, length, key.data(),
                                 Length(key));
        if (bytes == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            bytes = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, source, length, nullptr, 0);
            if (bytes > 0) {
                key.resize(static_cast<std::size_t>(bytes));
                bytes = LCMapStringA(LOCALE_USER_DEFAULT, kFlags, source, length, key.data(),
                                     bytes);
            }
        }
        key.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
        return bytes > 0;
    }

    std::uint32_t UserLocale() override { return GetUserDefaultLCID(); }

    unsigned AnsiCodePage() override { return GetACP(); }

    WindowHandle ActiveWindow() override { return GetActiveWindow(); }

    bool HighContrast() override {
        HIGHCONTRASTW contrast{};
        contrast.cbSize = sizeof(contrast);
        return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != FALSE &&
               (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }

    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override {
        const HINSTANCE result = ShellExecuteA(Hwnd(owner), "open", file.c_str(),
                                               parameters.c_str(), nullptr, show);
        return reinterpret_cast<std::intptr_t>(result);
    }

    Atom AddGlobalAtom(const std::string& name) override { return GlobalAddAtomA(name.c_str()); }

    Atom DeleteGlobalAtom(Atom atom) override { return GlobalDeleteAtom(atom); }

    bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers,
                        unsigned key) override {
        return ::RegisterHotKey(Hwnd(window), id, modifiers, key) != FALSE;
    }

    bool UnregisterHotKey(WindowHandle window, int id) override {
        return ::UnregisterHotKey(Hwnd(window), id) != FALSE;
    }

    WindowHandle CreateHiddenWindow(MessageSink* sink) override {
        const HWND window = CreateWindowExA(0, kHiddenWindowClass, "", 0, 0, 0, 0, 0,
                                            HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (window == nullptr) {
            return nullptr;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(sink));
        ::SetLastError(ERROR_SUCCESS);
        if (SetWindowLongPtrA(window, GWLP_WNDPROC, HiddenWindowProcValue()) == 0 &&
            GetLastError() != ERROR_SUCCESS) {
            const PreservedError error;
            DestroyWindow(window);
            return nullptr;
        }
        return window;
    }

    bool DestroyHiddenWindow(WindowHandle window) override {
        const HWND handle = Hwnd(window);
        if (!IsHiddenWindow(handle)) {
            ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        // The sink hears nothing of the window's end.
        SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
        if (GetWindowThreadProcessId(handle, nullptr) == GetCurrentThreadId()) {
            return DestroyWindow(handle) != FALSE;
        }
        // Another thread owns the window and the system will not destroy it from here.
        // Give it back its class's procedure, which is the system's, and have it close
        // itself when its thread next dispatches: the default handling of WM_CLOSE
        // destroys it, and its hotkeys with it.
        const LONG_PTR classProcedure = GetClassLongPtrA(handle, GCLP_WNDPROC);
        SetWindowLongPtrA(handle, GWLP_WNDPROC, classProcedure);
        if (IsHiddenWindow(handle)) {
            return false;  // still ours: nothing more can safely be done from here
        }
        return PostMessageA(handle, WM_CLOSE, 0, 0) != FALSE;
    }

    std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) override {
        return DefWindowProcA(Hwnd(window), message, static_cast<WPARAM>(wParam),
                              static_cast<LPARAM>(lParam));
    }

    unsigned MapVirtualKeyCode(unsigned code, unsigned mapType) override {
        return MapVirtualKeyA(code, mapType);
    }

    unsigned MapVirtualKeyCodeEx(unsigned code, unsigned mapType, LayoutHandle layout) override {
        return MapVirtualKeyExA(code, mapType, Hkl(layout));
    }

    std::string KeyNameText(std::int32_t lParam) override {
        char name[256];
        const int length = GetKeyNameTextA(lParam, name, sizeof(name));
        return length > 0 ? std::string(name, static_cast<std::size_t>(length)) : std::string();
    }

    LayoutHandle ThreadLayout() override { return GetKeyboardLayout(0); }

    std::vector<LayoutHandle> LayoutList(int maxCount) override {
        if (maxCount <= 0) {
            return {};
        }
        std::vector<HKL> layouts(static_cast<std::size_t>(maxCount));
        const int count = GetKeyboardLayoutList(maxCount, layouts.data());
        layouts.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        return {layouts.begin(), layouts.end()};
    }

    LayoutHandle LoadLayout(const std::string& id, unsigned flags) override {
        return LoadKeyboardLayoutA(id.c_str(), flags);
    }

    LayoutHandle ActivateLayout(LayoutHandle layout, unsigned flags) override {
        return ActivateKeyboardLayout(Hkl(layout), flags);
    }

    bool UnloadLayout(LayoutHandle layout) override {
        return UnloadKeyboardLayout(Hkl(layout)) != FALSE;
    }

    std::wstring AnsiToWide(const std::string& text) override { return Widen(text); }

    std::string WideToAnsi(const std::wstring& text) override {
        return Narrow(text.data(), static_cast<int>(text.size()));
    }

    std::vector<std::uint8_t> LoadRawResource(const std::string& name) override {
        const HMODULE module = OwnModule();
        const HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
        if (found == nullptr) {
            return {};
        }
        const HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        const auto* bytes = loaded != nullptr ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
        if (bytes == nullptr || size == 0) {
            return {};
        }
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }

    std::wstring LoadWideText(unsigned id) override {
        const wchar_t* resource = nullptr;
        const int length =
            LoadStringW(OwnModule(), id, reinterpret_cast<LPWSTR>(&resource), 0);
        if (length <= 0 || resource == nullptr) {
            return {};
        }
        return std::wstring(resource, static_cast<std::size_t>(length));
    }

    UniqueRegistryKey OpenRegistryKey(const std::wstring& path, std::uint32_t access,
                                      std::uint32_t& error) override {
        HKEY key = nullptr;
        const LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key);
        error = static_cast<std::uint32_t>(result);
        return result == ERROR_SUCCESS ? UniqueRegistryKey(*this, key) : UniqueRegistryKey();
    }

    void CloseRegistryKey(RegistryKey key) override {
        if (key != nullptr) {
            RegCloseKey(static_cast<HKEY>(key));
        }
    }

    bool QueryRegistryValue(RegistryKey key, const std::wstring& name,
                            RegistryValue& value) override {
        DWORD type = 0;
        DWORD size = 0;
        const LONG sized = RegQueryValueExW(static_cast<HKEY>(key), name.c_str(), nullptr,
                                            &type, nullptr, &size);
        if (sized == ERROR_FILE_NOT_FOUND) {
            return false;
        }
        value.type = type;
        value.data.clear();
        if (sized != ERROR_SUCCESS || size == 0) {
            return true;  // there, but its size cannot be had: no bytes
        }
        value.data.resize(size);
        const LONG read = RegQueryValueExW(static_cast<HKEY>(key), name.c_str(), nullptr,
                                           &type, value.data.data(), &size);
        value.type = type;
        value.data.resize(read == ERROR_SUCCESS ? size : 0);
        return true;
    }

    std::uint32_t FileAttributes(const std::wstring& path) override {
        return GetFileAttributesW(path.c_str());
    }

    WindowHandle HtmlHelp(WindowHandle caller, const std::wstring& file, unsigned command,
                          std::uintptr_t data) override {
        if (!htmlHelpLooked_) {
            // Looked up once; the viewer's library stays loaded for the viewer's windows.
            htmlHelpLooked_ = true;
            if (HMODULE library = LoadSystemLibrary(L"hhctrl.ocx")) {
                htmlHelp_ = reinterpret_cast<HtmlHelpFunction>(
                    reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")));
            }
        }
        if (htmlHelp_ == nullptr) {
            return nullptr;
        }
        return htmlHelp_(Hwnd(caller), file.c_str(), command, data);
    }

    bool ChooseFiles(WindowHandle owner, bool save, FileChoice& choice) override {
        std::vector<wchar_t> buffer(32768, L'\0');
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = Hwnd(owner);
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
        dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_ENABLESIZING;
        const BOOL confirmed = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
        if (confirmed == FALSE) {
            return false;
        }
        choice = ReadFileChoice(buffer.data());
        return true;
    }

    bool BrowseForFolder(WindowHandle owner, const std::wstring& caption,
                         std::wstring& path) override {
        const OleSession ole;
        BROWSEINFOW browse{};
        browse.hwndOwner = Hwnd(owner);
        browse.lpszTitle = caption.c_str();
        browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON;
        const UniqueItemList chosen(SHBrowseForFolderW(&browse));
        if (!chosen) {
            return false;
        }
        wchar_t folder[MAX_PATH + 1] = {};
        if (SHGetPathFromIDListW(chosen.get(), folder) == FALSE) {
            return false;
        }
        path = folder;
        return true;
    }

private:
    HtmlHelpFunction htmlHelp_ = nullptr;
    bool htmlHelpLooked_ = false;
};

// Constant-initialised: usable from DllMain before the C++ run-time's constructors run.
Win32Platform theWin32Platform;

}  // namespace

Platform& DefaultPlatform() {
    return theWin32Platform;
}

}  // namespace tarvik::platform
