// The real platform: each call forwards to the Win32 function that Platform.h names.
// The one object lives for the whole process and is constant-initialised, so the DLL's
// entry routine may use it before any static constructor has run.
#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <utility>

#include "platform/Platform.h"

// The image this code is linked into: the plug-in DLL, or a test program.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tarvik::platform {
namespace {

HINSTANCE OwnModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

constexpr const char* kHiddenWindowClass = "TarvikHiddenWindow";

// The hidden window's procedure: the sink comes with WM_NCCREATE and lives in the
// window's user data until DestroyHiddenWindow detaches it. Sinks do not throw.
LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam,
                                  LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    auto* sink = reinterpret_cast<MessageSink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (sink == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return sink->HandleMessage(window, message, static_cast<std::uintptr_t>(wParam),
                               static_cast<std::intptr_t>(lParam));
}

// Owns the registration of the hidden window's class under this module.
class WindowClass {
public:
    constexpr WindowClass() noexcept = default;
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    WindowClass(WindowClass&& other) noexcept : atom_(std::exchange(other.atom_, 0)) {}
    WindowClass& operator=(WindowClass&& other) noexcept {
        if (this != &other) {
            Reset();
            atom_ = std::exchange(other.atom_, 0);
        }
        return *this;
    }
    ~WindowClass() { Reset(); }

    // Registers the class; false (last error set by the system) when that fails.
    static WindowClass Register() noexcept {
        WNDCLASSEXA description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = HiddenWindowProc;
        description.hInstance = OwnModule();
        description.lpszClassName = kHiddenWindowClass;
        WindowClass registered;
        registered.atom_ = RegisterClassExA(&description);
        return registered;
    }

    explicit operator bool() const noexcept { return atom_ != 0; }

    // Whether the window is one of this class's.
    bool Owns(HWND window) const noexcept {
        return atom_ != 0 && GetClassLongPtrA(window, GCW_ATOM) == atom_;
    }

    // Unregisters the class now; the system's answer, with its last error, is kept.
    void Reset() noexcept {
        if (atom_ != 0) {
            UnregisterClassA(kHiddenWindowClass, OwnModule());
            atom_ = 0;
        }
    }

private:
    ATOM atom_ = 0;
};

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

    std::string LoadText(unsigned id) override {
        // With no buffer, LoadStringW hands out the resource's own read-only text.
        const wchar_t* resource = nullptr;
        const int length =
            LoadStringW(OwnModule(), id, reinterpret_cast<LPWSTR>(&resource), 0);
        if (length <= 0 || resource == nullptr) {
            return {};
        }
        const int bytes = WideCharToMultiByte(CP_ACP, 0, resource, length, nullptr, 0,
                                              nullptr, nullptr);
        if (bytes <= 0) {
            return {};
        }
        std::string text(static_cast<std::size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, resource, length, text.data(), bytes, nullptr,
                            nullptr);
        return text;
    }

    WindowHandle ActiveWindow() override { return GetActiveWindow(); }

    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override {
        const HINSTANCE result = ShellExecuteA(Hwnd(owner), "open", file.c_str(),
                                               parameters.c_str(), nullptr, show);
        return reinterpret_cast<std::intptr_t>(result);
    }

    Atom AddGlobalAtom(const std::string& name) override { return GlobalAddAtomA(name.c_str()); }

    Atom DeleteGlobalAtom(Atom atom) override { return GlobalDeleteAtom(atom); }

    Atom FindGlobalAtom(const std::string& name) override { return GlobalFindAtomA(name.c_str()); }

    bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers,
                        unsigned key) override {
        return ::RegisterHotKey(Hwnd(window), id, modifiers, key) != FALSE;
    }

    bool UnregisterHotKey(WindowHandle window, int id) override {
        return ::UnregisterHotKey(Hwnd(window), id) != FALSE;
    }

    WindowHandle CreateHiddenWindow(MessageSink* sink) override {
        if (!windowClass_) {
            windowClass_ = WindowClass::Register();
            if (!windowClass_) {
                return nullptr;
            }
        }
        const HWND window =
            CreateWindowExA(0, kHiddenWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            OwnModule(), sink);
        if (window == nullptr) {
            if (windows_ == 0) {
                const PreservedError error;
                windowClass_.Reset();
            }
            return nullptr;
        }
        ++windows_;
        return window;
    }

    bool DestroyHiddenWindow(WindowHandle window) override {
        const HWND handle = Hwnd(window);
        if (IsWindow(handle) == FALSE || !windowClass_.Owns(handle)) {
            ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        // The sink hears nothing of the window's end.
        SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
        if (DestroyWindow(handle) == FALSE) {
            return false;
        }
        if (windows_ > 0 && --windows_ == 0) {
            windowClass_.Reset();
        }
        return true;
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

private:
    WindowClass windowClass_;
    std::size_t windows_ = 0;  // hidden windows made and not yet destroyed
};

// Constant-initialised: usable from DllMain before the C++ run-time's constructors run.
Win32Platform theWin32Platform;

}  // namespace

Platform& DefaultPlatform() {
    return theWin32Platform;
}

}  // namespace tarvik::platform
