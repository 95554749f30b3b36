// The dialogs opened and closed hundreds of times through lmEditAction and lmAbout under
// Wine, with a census of what the library creates: its calls into gdi32 and user32 go
// through counting wrappers (its import address table patched), so every GDI object,
// window DC, window, icon, window class, timer, hook and window property it makes is
// counted made and counted gone. Wine's GetGuiResources counts nothing, hence our own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "IntegrationSupport.h"
#include "support/ImportPatch.h"
#include "support/ThreadWindows.h"

namespace tarvik::integration {
namespace {

// --- The census ------------------------------------------------------------------------------

enum Kind { kGdiObject, kWindowDc, kWindow, kIcon, kWindowClass, kTimer, kHook, kProperty, kKinds };

const char* const kKindNames[kKinds] = {"GDI objects", "window DCs", "windows", "icons and cursors",
                                        "window classes", "timers", "hooks", "window properties"};

// One thing the library made: a handle, and for a property or a class its name, for a
// timer its id.
struct Thing {
    std::uintptr_t handle;
    std::wstring name;
    bool operator<(const Thing& o) const { return handle != o.handle ? handle < o.handle : name < o.name; }
};

struct Tally {
    long created = 0;
    long destroyed = 0;
    std::set<Thing> alive;
};

// Everything runs on the host's thread, where the library does its work.
struct Census {
    std::array<Tally, kKinds> tallies;
    std::array<int, kKinds> swallow{};  // releases to skip on purpose: a leak made to order
    std::vector<Thing> swallowed;

    void Made(Kind kind, Thing thing) {
        if (thing.handle != 0 && tallies[kind].alive.insert(thing).second) {
            ++tallies[kind].created;
        }
    }
    bool Ours(Kind kind, const Thing& thing) const { return tallies[kind].alive.count(thing) != 0; }
    // True when the release is to be skipped, as a leaking library would.
    bool Swallows(Kind kind, const Thing& thing) {
        if (swallow[kind] > 0 && Ours(kind, thing)) {
            --swallow[kind];
            swallowed.push_back(thing);
            return true;
        }
        return false;
    }
    void Gone(Kind kind, const Thing& thing) {
        if (tallies[kind].alive.erase(thing) != 0) {
            ++tallies[kind].destroyed;
        }
    }
    // Windows go with their parents, timers with their windows: both are looked at now.
    void Sweep() {
        for (Kind kind : {kWindow, kTimer}) {
            std::vector<Thing> dead;
            for (const Thing& thing : tallies[kind].alive) {
                const HWND window = reinterpret_cast<HWND>(kind == kWindow ? thing.handle
                                                                           : std::stoull(thing.name));
                if (window != nullptr && !IsWindow(window)) {
                    dead.push_back(thing);
                }
            }
            for (const Thing& thing : dead) {
                Gone(kind, thing);
            }
        }
    }
    long Alive(Kind kind) {
        Sweep();
        return static_cast<long>(tallies[kind].alive.size());
    }
    std::string Report() {
        Sweep();
        std::string report;
        for (int kind = 0; kind < kKinds; ++kind) {
            const Tally& tally = tallies[kind];
            char line[128];
            std::snprintf(line, sizeof(line), "%-18s created %6ld, destroyed %6ld, alive %ld\n",
                          kKindNames[kind], tally.created, tally.destroyed,
                          static_cast<long>(tally.alive.size()));
            report += line;
        }
        return report;
    }
};

Census census;

Thing Handle(const void* handle) {
    return Thing{reinterpret_cast<std::uintptr_t>(handle), L""};
}

// A name a property or class is known by: its atom, or its text folded as atoms are.
std::wstring NameOf(const wchar_t* name) {
    if (IS_INTRESOURCE(name)) {
        return L"#" + std::to_wstring(reinterpret_cast<std::uintptr_t>(name));
    }
    std::wstring folded(name);
    CharLowerBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}
std::wstring NameOf(const char* name) {
    if (IS_INTRESOURCE(name)) {
        return NameOf(reinterpret_cast<const wchar_t*>(name));
    }
    std::wstring wide(name, name + std::strlen(name));
    return NameOf(wide.c_str());
}
Thing Property(HWND window, std::wstring name) {
    return Thing{reinterpret_cast<std::uintptr_t>(window), std::move(name)};
}
Thing Timer(HWND window, UINT_PTR id) {
    // Keyed by id; the name carries the window, which takes its timers with it.
    return Thing{id, std::to_wstring(reinterpret_cast<std::uintptr_t>(window))};
}

// --- The wrappers: the library's imports of gdi32 and user32 ---------------------------------

// What a wrapper hands back after counting it as made (a null handle counts as nothing).
template <typename Made>
Made Count(Kind kind, Made made) {
    census.Made(kind, Handle(made));
    return made;
}
// A release that succeeded counts the thing gone.
template <typename Result>
Result Count(Kind kind, const Thing& thing, Result released) {
    if (released) {
        census.Gone(kind, thing);
    }
    return released;
}

HFONT WINAPI CountCreateFontW(int h, int w, int e, int o, int weight, DWORD i, DWORD u, DWORD s, DWORD c,
                              DWORD op, DWORD cp, DWORD q, DWORD pf, LPCWSTR face) {
    return Count(kGdiObject, CreateFontW(h, w, e, o, weight, i, u, s, c, op, cp, q, pf, face));
}
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* font) {
    return Count(kGdiObject, CreateFontIndirectW(font));
}
HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour) {
    return Count(kGdiObject, CreateSolidBrush(colour));
}
HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour) {
    return Count(kGdiObject, CreatePen(style, width, colour));
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) {
    return Count(kGdiObject, CreateCompatibleDC(dc));
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC dc, int width, int height) {
    return Count(kGdiObject, CreateCompatibleBitmap(dc, width, height));
}
HBITMAP WINAPI CountCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                     DWORD offset) {
    return Count(kGdiObject, CreateDIBSection(dc, info, usage, bits, section, offset));
}
HBITMAP WINAPI CountCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
    return Count(kGdiObject, CreateBitmap(width, height, planes, bits, data));
}
HRGN WINAPI CountCreateRectRgn(int left, int top, int right, int bottom) {
    return Count(kGdiObject, CreateRectRgn(left, top, right, bottom));
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
    return census.Swallows(kGdiObject, Handle(object)) ? TRUE
                                                       : Count(kGdiObject, Handle(object), DeleteObject(object));
}
BOOL WINAPI CountDeleteDC(HDC dc) {
    return census.Swallows(kGdiObject, Handle(dc)) ? TRUE : Count(kGdiObject, Handle(dc), DeleteDC(dc));
}

// A bitmap from LoadImage is a GDI object, an icon or cursor a USER one; shared images
// belong to the system.
HANDLE WINAPI CountLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    const HANDLE image = LoadImageW(instance, name, type, cx, cy, flags);
    return (flags & LR_SHARED) != 0 ? image : Count(type == IMAGE_BITMAP ? kGdiObject : kIcon, image);
}
HBITMAP WINAPI CountLoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    return Count(kGdiObject, LoadBitmapW(instance, name));
}
HICON WINAPI CountCreateIconIndirect(PICONINFO info) {
    return Count(kIcon, CreateIconIndirect(info));
}
BOOL WINAPI CountDestroyIcon(HICON icon) {
    return Count(kIcon, Handle(icon), DestroyIcon(icon));
}
BOOL WINAPI CountDestroyCursor(HCURSOR cursor) {
    return Count(kIcon, Handle(cursor), DestroyCursor(cursor));
}

HDC WINAPI CountGetDC(HWND window) {
    return Count(kWindowDc, GetDC(window));
}
HDC WINAPI CountGetWindowDC(HWND window) {
    return Count(kWindowDc, GetWindowDC(window));
}
HDC WINAPI CountGetDCEx(HWND window, HRGN clip, DWORD flags) {
    return Count(kWindowDc, GetDCEx(window, clip, flags));
}
int WINAPI CountReleaseDC(HWND window, HDC dc) {
    return Count(kWindowDc, Handle(dc), ReleaseDC(window, dc));
}

// A handle the system gives out again belonged to a window now gone: the census looks
// before each new window.
HWND WINAPI CountCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, int x, int y,
                                 int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                 LPVOID parameter) {
    census.Sweep();
    return Count(kWindow, CreateWindowExW(exStyle, className, name, style, x, y, width, height, parent, menu,
                                          instance, parameter));
}
HWND WINAPI CountCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y,
                                 int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                 LPVOID parameter) {
    census.Sweep();
    return Count(kWindow, CreateWindowExA(exStyle, className, name, style, x, y, width, height, parent, menu,
                                          instance, parameter));
}

// A class, by its name (the one registration of it the library holds at a time).
template <typename Name>
Thing Class(Name name) {
    return Thing{1, NameOf(name)};
}
template <typename Description>
ATOM Registered(const Description* description, ATOM atom) {
    if (atom != 0) {
        census.Made(kWindowClass, Class(description->lpszClassName));
    }
    return atom;
}
ATOM WINAPI CountRegisterClassExW(const WNDCLASSEXW* description) {
    return Registered(description, RegisterClassExW(description));
}
ATOM WINAPI CountRegisterClassW(const WNDCLASSW* description) {
    return Registered(description, RegisterClassW(description));
}
ATOM WINAPI CountRegisterClassExA(const WNDCLASSEXA* description) {
    return Registered(description, RegisterClassExA(description));
}
BOOL WINAPI CountUnregisterClassW(LPCWSTR name, HINSTANCE instance) {
    return Count(kWindowClass, Class(name), UnregisterClassW(name, instance));
}
BOOL WINAPI CountUnregisterClassA(LPCSTR name, HINSTANCE instance) {
    return Count(kWindowClass, Class(name), UnregisterClassA(name, instance));
}

UINT_PTR WINAPI CountSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    const UINT_PTR made = SetTimer(window, id, elapse, procedure);
    if (made != 0) {
        census.Made(kTimer, Timer(window, window != nullptr ? id : made));
    }
    return made;
}
BOOL WINAPI CountKillTimer(HWND window, UINT_PTR id) {
    return Count(kTimer, Timer(window, id), KillTimer(window, id));
}

HHOOK WINAPI CountSetWindowsHookExW(int type, HOOKPROC procedure, HINSTANCE instance, DWORD thread) {
    return Count(kHook, SetWindowsHookExW(type, procedure, instance, thread));
}
HHOOK WINAPI CountSetWindowsHookExA(int type, HOOKPROC procedure, HINSTANCE instance, DWORD thread) {
    return Count(kHook, SetWindowsHookExA(type, procedure, instance, thread));
}
BOOL WINAPI CountUnhookWindowsHookEx(HHOOK hook) {
    return Count(kHook, Handle(hook), UnhookWindowsHookEx(hook));
}

template <typename Name>
BOOL PropertySet(HWND window, Name name, BOOL set) {
    if (set) {
        census.Made(kProperty, Property(window, NameOf(name)));
    }
    return set;
}
BOOL WINAPI CountSetPropW(HWND window, LPCWSTR name, HANDLE data) {
    return PropertySet(window, name, SetPropW(window, name, data));
}
BOOL WINAPI CountSetPropA(HWND window, LPCSTR name, HANDLE data) {
    return PropertySet(window, name, SetPropA(window, name, data));
}
// A property left on a window when it goes is the library's fault: the system lets
// it go, but the documented contract is that its owner removes it first.
HANDLE WINAPI CountRemovePropW(HWND window, LPCWSTR name) {
    if (census.Swallows(kProperty, Property(window, NameOf(name)))) {
        return GetPropW(window, name);
    }
    census.Gone(kProperty, Property(window, NameOf(name)));
    return RemovePropW(window, name);
}
HANDLE WINAPI CountRemovePropA(HWND window, LPCSTR name) {
    if (census.Swallows(kProperty, Property(window, NameOf(name)))) {
        return GetPropA(window, name);
    }
    census.Gone(kProperty, Property(window, NameOf(name)));
    return RemovePropA(window, name);
}

template <typename Function>
const void* Address(Function* function) {
    return reinterpret_cast<const void*>(function);
}

const std::vector<testing_support::ImportReplacement>& CountingWrappers() {
    static const std::vector<testing_support::ImportReplacement> wrappers = {
        {"gdi32.dll", "CreateFontW", Address(&CountCreateFontW)},
        {"gdi32.dll", "CreateFontIndirectW", Address(&CountCreateFontIndirectW)},
        {"gdi32.dll", "CreateSolidBrush", Address(&CountCreateSolidBrush)},
        {"gdi32.dll", "CreatePen", Address(&CountCreatePen)},
        {"gdi32.dll", "CreateCompatibleDC", Address(&CountCreateCompatibleDC)},
        {"gdi32.dll", "CreateCompatibleBitmap", Address(&CountCreateCompatibleBitmap)},
        {"gdi32.dll", "CreateDIBSection", Address(&CountCreateDIBSection)},
        {"gdi32.dll", "CreateBitmap", Address(&CountCreateBitmap)},
        {"gdi32.dll", "CreateRectRgn", Address(&CountCreateRectRgn)},
        {"gdi32.dll", "DeleteObject", Address(&CountDeleteObject)},
        {"gdi32.dll", "DeleteDC", Address(&CountDeleteDC)},
        {"user32.dll", "LoadImageW", Address(&CountLoadImageW)},
        {"user32.dll", "LoadBitmapW", Address(&CountLoadBitmapW)},
        {"user32.dll", "CreateIconIndirect", Address(&CountCreateIconIndirect)},
        {"user32.dll", "DestroyIcon", Address(&CountDestroyIcon)},
        {"user32.dll", "DestroyCursor", Address(&CountDestroyCursor)},
        {"user32.dll", "GetDC", Address(&CountGetDC)},
        {"user32.dll", "GetWindowDC", Address(&CountGetWindowDC)},
        {"user32.dll", "GetDCEx", Address(&CountGetDCEx)},
        {"user32.dll", "ReleaseDC", Address(&CountReleaseDC)},
        {"user32.dll", "CreateWindowExW", Address(&CountCreateWindowExW)},
        {"user32.dll", "CreateWindowExA", Address(&CountCreateWindowExA)},
        {"user32.dll", "RegisterClassExW", Address(&CountRegisterClassExW)},
        {"user32.dll", "RegisterClassW", Address(&CountRegisterClassW)},
        {"user32.dll", "RegisterClassExA", Address(&CountRegisterClassExA)},
        {"user32.dll", "UnregisterClassW", Address(&CountUnregisterClassW)},
        {"user32.dll", "UnregisterClassA", Address(&CountUnregisterClassA)},
        {"user32.dll", "SetTimer", Address(&CountSetTimer)},
        {"user32.dll", "KillTimer", Address(&CountKillTimer)},
        {"user32.dll", "SetWindowsHookExW", Address(&CountSetWindowsHookExW)},
        {"user32.dll", "SetWindowsHookExA", Address(&CountSetWindowsHookExA)},
        {"user32.dll", "UnhookWindowsHookEx", Address(&CountUnhookWindowsHookEx)},
        {"user32.dll", "SetPropW", Address(&CountSetPropW)},
        {"user32.dll", "SetPropA", Address(&CountSetPropA)},
        {"user32.dll", "RemovePropW", Address(&CountRemovePropW)},
        {"user32.dll", "RemovePropA", Address(&CountRemovePropA)},
    };
    return wrappers;
}

// Imports that make nothing the dialogs must release, or only what the system keeps: a
// shared cursor or icon, a resource string; and the keyboard layout the key-name index
// loads and unloads for itself, which its own tests follow.
bool MakesNothingToRelease(const std::string& name) {
    static const std::set<std::string> harmless = {"LoadCursorW", "LoadCursorA", "LoadIconW", "LoadIconA",
                                                   "LoadStringW", "LoadStringA", "LoadKeyboardLayoutA",
                                                   "LoadKeyboardLayoutW"};
    return harmless.count(name) != 0;
}

// Names of gdi32 and user32 functions that make something: each one the library imports
// must be counted or known to need no release.
bool Makes(const std::string& name) {
    for (const char* prefix : {"Create", "Load", "Copy", "RegisterClass", "SetProp", "SetTimer",
                               "SetWindowsHook", "GetDC", "GetWindowDC"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// --- Playing the user ------------------------------------------------------------------------

enum class Ending { Ok, Cancel, Escape, CloseBox };
constexpr int kEndings = 4;

const wchar_t kHostClass[] = L"TarvikSoakHost";
const wchar_t kOk[] = L"&OK";
const wchar_t kCancel[] = L"&\x041E\x0442\x043C\x0435\x043D\x0438\x0442\x044C";
constexpr int kAbout = 0;  // the About box among the editors' numbers
const int kDialogs[] = {1, 2, 3, 4, 6, 7, 8, kAbout};

// Waits in short steps: an opening takes a few milliseconds, and thousands of them run.
bool Poll(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

HWND Focused(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// A push button of the dialog by its text, read without a message to the busy thread.
HWND Button(HWND dialog, const wchar_t* text) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t seen[64] = {};
        InternalGetWindowText(child, seen, 64);
        if (lstrcmpW(seen, text) == 0) {
            return child;
        }
    }
    return nullptr;
}

struct Opening {
    DWORD hostThread;
    HWND host;
    Ending ending;
    bool about;
    HWND dialog = nullptr;
    bool closed = false;
};

bool IsTheDialog(HWND window, HWND host) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return IsWindowVisible(window) && GetWindow(window, GW_OWNER) == host && lstrcmpW(name, L"#32770") != 0;
}

// The user: waits for the dialog and its focus, then ends it one of four ways.
DWORD WINAPI PlayUser(void* parameter) {
    auto* opening = static_cast<Opening*>(parameter);
    const auto find = [opening](HWND window) { return IsTheDialog(window, opening->host); };
    Poll([&] { return (opening->dialog = testing_support::FirstThreadWindow(opening->hostThread, find)) != nullptr; },
         10000);
    const HWND dialog = opening->dialog;
    if (dialog == nullptr) {
        return 1;
    }
    Poll([&] { return IsChild(dialog, Focused(opening->hostThread)) != FALSE; }, 3000);
    const auto key = [opening](UINT code) {
        const HWND focus = Focused(opening->hostThread);
        const UINT down = 1u | (MapVirtualKeyW(code, MAPVK_VK_TO_VSC) << 16);
        PostMessageW(focus, WM_KEYDOWN, code, static_cast<LPARAM>(down));
        PostMessageW(focus, WM_KEYUP, code, static_cast<LPARAM>(down | (3u << 30)));
    };
    switch (opening->ending) {
        case Ending::Ok:
            PostMessageW(Button(dialog, kOk), BM_CLICK, 0, 0);
            break;
        case Ending::Cancel:
            // The About box has no Cancel button: Enter on its focused OK.
            if (opening->about) {
                key(VK_RETURN);
            } else {
                PostMessageW(Button(dialog, kCancel), BM_CLICK, 0, 0);
            }
            break;
        case Ending::Escape:
            key(VK_ESCAPE);
            break;
        case Ending::CloseBox:
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
    opening->closed = Poll([dialog] { return !IsWindow(dialog); }, 5000);
    if (!opening->closed) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);  // let the test go on
    }
    return 0;
}

// The thread's top-level and message-only windows.
std::set<HWND> ThreadWindows() {
    std::set<HWND> windows;
    testing_support::FirstThreadWindow(GetCurrentThreadId(), [&windows](HWND window) {
        windows.insert(window);
        return false;
    });
    for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
            windows.insert(window);
        }
    }
    return windows;
}

class DialogSoakIt : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW description{};
        description.lpfnWndProc = HostWindowProcedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kHostClass;
        RegisterClassW(&description);
        host_ = CreateWindowExW(0, kHostClass, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        SetForegroundWindow(host_);
        SetActiveWindow(host_);
        windowsBefore_ = ThreadWindows();
        std::string error;
        library_ = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library_, nullptr) << error;
        plugin_ = std::make_unique<host::Host>(library_->Api());
        plugin_->Connect();
        plugin_->Subroutines = {"Main", "OnHotkey"};
        windowsLoaded_ = ThreadWindows();
        module_ = GetModuleHandleW(L"TarvikD.lmp");
        ASSERT_NE(module_, nullptr);
        census = Census{};
        patch_ = std::make_unique<testing_support::ImportPatch>(module_, CountingWrappers());
    }
    void TearDown() override {
        Unload();
        DestroyWindow(host_);
        UnregisterClassW(kHostClass, GetModuleHandleW(nullptr));
    }

    // FreeLibrary with the wrappers still in place: what the library lets go on its way
    // out is counted too. The patched table goes with the library.
    void Unload() {
        if (plugin_ != nullptr) {
            plugin_->Exec(5, {});  // TarvikClear
        }
        plugin_.reset();
        library_.reset();
        patch_.reset();
    }

    // One dialog opened and ended as `ending` says; empty, or what went wrong.
    std::string Open(int number, Ending ending) {
        std::vector<char*> slots;
        for (const char* text : {"Ctrl+A", "HK", "KEY"}) {
            slots.push_back(static_cast<char*>(host::system::Alloc(std::strlen(text) + 1)));
            std::memcpy(slots.back(), text, std::strlen(text) + 1);
        }
        slots.push_back(nullptr);
        Opening opening{GetCurrentThreadId(), host_, ending, number == kAbout};
        const HANDLE user = CreateThread(nullptr, 0, &PlayUser, &opening, 0, nullptr);
        if (user == nullptr) {
            return "no user thread";
        }
        std::int32_t answer = 0;
        if (number == kAbout) {
            library_->Api().About();
        } else {
            answer = library_->Api().EditAction(number, slots.data());
        }
        WaitForSingleObject(user, INFINITE);  // each of its waits is bounded
        CloseHandle(user);
        for (char* slot : slots) {
            if (slot != nullptr) {
                host::system::Free(slot);
            }
        }
        std::string fault;
        if (opening.dialog == nullptr) {
            fault = "no dialog";
        } else if (!opening.closed) {
            fault = "not closed";
        } else if (number != kAbout && (answer == 1) != (ending == Ending::Ok)) {
            fault = "answered " + std::to_string(answer);
        }
        return fault.empty() ? fault
                             : fault + " (dialog " + std::to_string(number) + ", ending " +
                                   std::to_string(static_cast<int>(ending)) + ")";
    }

    HWND host_ = nullptr;
    std::set<HWND> windowsBefore_;
    std::set<HWND> windowsLoaded_;
    std::unique_ptr<host::PluginLibrary> library_;
    std::unique_ptr<host::Host> plugin_;
    HMODULE module_ = nullptr;
    std::unique_ptr<testing_support::ImportPatch> patch_;
};

int Rounds() {
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("TARVIK_SOAK_ROUNDS", text, sizeof(text));
    return length > 0 && length < sizeof(text) ? std::max(1, std::atoi(text)) : 500;
}

TEST_F(DialogSoakIt, EveryDialogHundredsOfTimesLeavesNothingBehindNorAfterUnload) {
    // Every import that makes something is counted, or is known to need no release.
    std::vector<std::string> uncounted;
    for (const char* library : {"gdi32.dll", "user32.dll"}) {
        for (const std::string& name : testing_support::ImportedNames(module_, library)) {
            const std::string full = std::string(library) + "!" + name;
            const auto& patched = patch_->Patched();
            if (Makes(name) && !MakesNothingToRelease(name) &&
                std::find(patched.begin(), patched.end(), full) == patched.end()) {
                uncounted.push_back(full);
            }
        }
    }
    EXPECT_TRUE(uncounted.empty()) << "imports the census does not count: " << ::testing::PrintToString(uncounted);
    ASSERT_GT(windowsLoaded_.size(), windowsBefore_.size()) << "the library's own window at load";

    const int rounds = Rounds();
    std::vector<std::string> faults;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < std::size(kDialogs); ++i) {
            const auto ending = static_cast<Ending>((round + static_cast<int>(i)) % kEndings);
            const std::string fault = Open(kDialogs[i], ending);
            if (!fault.empty() && faults.size() < 10) {
                faults.push_back("round " + std::to_string(round) + ": " + fault);
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int openings = rounds * static_cast<int>(std::size(kDialogs));
    std::printf("%d openings (%d of each dialog) in %.1f s, %.1f ms each\n%s", openings, rounds, seconds,
                1000.0 * seconds / openings, census.Report().c_str());
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
    // The census saw the dialogs being made: fonts, brushes, bitmaps, windows, properties.
    for (Kind kind : {kGdiObject, kWindow, kProperty, kWindowClass}) {
        EXPECT_GE(census.tallies[kind].created, rounds) << kKindNames[kind];
    }
    for (int kind = 0; kind < kKinds; ++kind) {
        EXPECT_EQ(census.Alive(static_cast<Kind>(kind)), 0) << kKindNames[kind] << " after the dialogs";
    }

    Unload();
    std::printf("after FreeLibrary:\n%s", census.Report().c_str());
    for (int kind = 0; kind < kKinds; ++kind) {
        EXPECT_EQ(census.Alive(static_cast<Kind>(kind)), 0) << kKindNames[kind] << " after FreeLibrary";
    }
    // The window the library made at load, before the census began, is gone as well.
    EXPECT_EQ(ThreadWindows(), windowsBefore_);
}

// The census is no formality: a release the library skips shows as one left alive,
// for a property, and for a GDI object also after FreeLibrary.
TEST_F(DialogSoakIt, TheCensusCatchesOneObjectLeftBehind) {
    census.swallow[kProperty] = 1;
    EXPECT_EQ(Open(8, Ending::Escape), "");
    EXPECT_EQ(census.Alive(kProperty), 1);
    EXPECT_EQ(census.Alive(kGdiObject), 0);
    census.tallies[kProperty].alive.clear();  // the system took it with its window

    census.swallow[kGdiObject] = 1;
    EXPECT_EQ(Open(kAbout, Ending::Ok), "");
    EXPECT_EQ(census.Alive(kGdiObject), 1);
    EXPECT_EQ(census.Alive(kProperty), 0);
    Unload();
    EXPECT_EQ(census.Alive(kGdiObject), 1);
    ASSERT_EQ(census.swallowed.size(), 2u);
    const auto leaked = reinterpret_cast<HGDIOBJ>(census.swallowed.back().handle);
    const DWORD type = GetObjectType(leaked);
    EXPECT_NE(type, 0u) << "the object is really still there";
    EXPECT_TRUE(type == OBJ_MEMDC ? DeleteDC(static_cast<HDC>(leaked)) : DeleteObject(leaked));
}

// While the library stays loaded, the patch puts its table back when it goes: the
// next dialog is no longer counted.
TEST_F(DialogSoakIt, ThePatchGivesTheLibraryItsOwnImportsBack) {
    EXPECT_EQ(Open(1, Ending::CloseBox), "");
    const long counted = census.tallies[kWindow].created;
    EXPECT_GT(counted, 0);
    patch_.reset();
    EXPECT_EQ(Open(1, Ending::CloseBox), "");
    EXPECT_EQ(census.tallies[kWindow].created, counted);
    EXPECT_EQ(census.Alive(kWindow), 0);
}

}  // namespace
}  // namespace tarvik::integration
