// tarvik_bench: how long the plug-in's common operations take on this machine. Prints
// one Markdown table; scripts/bench.sh runs it under wine64. Nothing here passes or
// fails: the figures are for reading, and for docs/PERFORMANCE.md.
//
//   tarvik_bench [PATH-TO-TarvikD.lmp]
//
// Codec cases run the library's code linked into this program against the real Win32
// platform; the command, key-press and load cases go through the DLL's exports, as a
// host would.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hotkeys/UHotKeys.h"
#include "hotkeys/UKeyNameIndex.h"
#include "platform/Platform.h"
#include "plugin/UPluginTypes.h"

namespace {

using Clock = std::chrono::steady_clock;
using tarvik::hotkeys::HotKeyToText;
using tarvik::hotkeys::TextToHotKey;
using tarvik::hotkeys::TextToHotKeyLiteral;

// Keeps a result alive so that the compiler cannot drop the call that made it.
volatile std::uint64_t sink;

double Microseconds(Clock::duration span) {
    return std::chrono::duration<double, std::micro>(span).count();
}

struct Figure {
    double median;  // µs per call
    double best;
    long calls;     // per batch
};

// Runs `work` in batches of at least about 20 ms, seven times, and gives the median and
// the best time per call.
Figure Measure(const std::function<void()>& work) {
    work();  // warm up: first-use costs are measured on their own
    long calls = 1;
    for (;;) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i) {
            work();
        }
        if (Clock::now() - start >= std::chrono::milliseconds(20) || calls >= (1L << 24)) {
            break;
        }
        calls *= 2;
    }
    std::vector<double> perCall;
    for (int run = 0; run < 7; ++run) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i) {
            work();
        }
        perCall.push_back(Microseconds(Clock::now() - start) / static_cast<double>(calls));
    }
    std::sort(perCall.begin(), perCall.end());
    return Figure{perCall[perCall.size() / 2], perCall.front(), calls};
}

struct Row {
    std::string what;
    Figure figure;
    std::string note;
};

std::vector<Row> rows;

void Add(const std::string& what, const Figure& figure, const std::string& note = "") {
    rows.push_back(Row{what, figure, note});
    std::fprintf(stderr, "  %-52s %10.3f us\n", what.c_str(), figure.median);
}

std::string Ratio(double slow, double fast) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.0f times faster than the literal loop", slow / fast);
    return text;
}

// --- A minimal host for the exports -----------------------------------------------------------

// Timestamps of the host callbacks during one key press.
struct CallbackSpan {
    bool recording = false;
    Clock::time_point firstEntry, lastEntry;
    Clock::duration inside{};     // time spent inside callbacks before the last one
    Clock::time_point lastExit;
    int count = 0;
};
CallbackSpan span;

void Entered() {
    if (!span.recording) {
        return;
    }
    const auto now = Clock::now();
    if (span.count == 0) {
        span.firstEntry = now;
    } else {
        span.inside += span.lastExit - span.lastEntry;
    }
    span.lastEntry = now;
    ++span.count;
}

void Left() {
    if (span.recording) {
        span.lastExit = Clock::now();
    }
}

std::string lastValue;

void TARVIK_CALL OnRegisterAction(std::int32_t, const char*, const char*, const std::uint8_t*,
                                  std::int32_t, std::int32_t) {}
void TARVIK_CALL OnSetVariable(const char*, const char* value) {
    Entered();
    lastValue = value != nullptr ? value : "";
    Left();
}
void TARVIK_CALL OnScriptLine(const char*) {
    Entered();
    Left();
}
char* HostBlock(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED, size));
    if (block != nullptr) {
        std::memcpy(block, text, size);
    }
    return block;
}
void TARVIK_CALL OnInterfaceAccess(std::int32_t code, char** cell) {
    Entered();
    if (code == 5) {
        *cell = HostBlock("OnHotkey");
    } else if (code == 6) {
        *cell = HostBlock("5.0");
    } else if (code == 3 || code == 4) {
        *cell = HostBlock("");
    }
    Left();
}

struct Exports {
    decltype(&lmInitPlugIn) InitPlugIn;
    decltype(&lmRegisterPlugIn) RegisterPlugIn;
    decltype(&lmRegisterScriptProcessor) RegisterScriptProcessor;
    decltype(&lmRegisterInterfaceAccess) RegisterInterfaceAccess;
    decltype(&lmExecAction) ExecAction;
};

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& target) {
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (target == nullptr) {
        std::fprintf(stderr, "tarvik_bench: no entry point %s\n", name);
        std::exit(1);
    }
}

std::int32_t Exec(const Exports& dll, std::int32_t number, std::vector<std::string> params) {
    std::vector<char*> array;
    for (std::string& param : params) {
        array.push_back(param.data());
    }
    return dll.ExecAction(number, array.data());
}

// The DLL's hidden window: a message-only window of this thread whose window procedure
// lies inside the DLL's image.
HWND HiddenWindowOf(HMODULE module) {
    HWND window = nullptr;
    while ((window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
            continue;
        }
        HMODULE owner = nullptr;
        const auto procedure = reinterpret_cast<LPCSTR>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               procedure, &owner) != FALSE &&
            owner == module) {
            return window;
        }
    }
    return nullptr;
}

void PrintTable() {
    std::printf("| call | median | best | calls per batch | note |\n");
    std::printf("|---|---:|---:|---:|---|\n");
    for (const Row& row : rows) {
        std::printf("| %s | %.3f µs | %.3f µs | %ld | %s |\n", row.what.c_str(),
                    row.figure.median, row.figure.best, row.figure.calls, row.note.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dllPath = argc > 1 ? argv[1] : "TarvikD.lmp";
    std::fprintf(stderr, "tarvik_bench: code page %u, locale %04lx, layout %p\n", GetACP(),
                 static_cast<unsigned long>(GetUserDefaultLCID()),
                 static_cast<void*>(GetKeyboardLayout(0)));

    // --- The codec, linked in, on the real platform ---
    tarvik::hotkeys::HotKeysStartup();
    const auto parse = [](const char* text) {
        return [text] { sink = TextToHotKey(text, true); };
    };
    const auto literal = [](const char* text) {
        return [text] { sink = TextToHotKeyLiteral(text, true); };
    };
    Add("TextToHotKey(\"Ctrl+Alt+A\") (one-character key)", Measure(parse("Ctrl+Alt+A")));
    const Figure named = Measure(parse("Ctrl+Alt+F5"));
    const Figure namedLiteral = Measure(literal("Ctrl+Alt+F5"));
    Add("TextToHotKey(\"Ctrl+Alt+F5\") (named key)", named, Ratio(namedLiteral.median, named.median));
    const Figure namedCase = Measure(parse("ctrl+ALT+f5"));
    Add("TextToHotKey(\"ctrl+ALT+f5\") (named key, other case)", namedCase,
        Ratio(namedLiteral.median, namedCase.median));
    const Figure miss = Measure(parse("Ctrl+Foo"));
    const Figure missLiteral = Measure(literal("Ctrl+Foo"));
    Add("TextToHotKey(\"Ctrl+Foo\") (look-up misses)", miss, Ratio(missLiteral.median, miss.median));
    const std::string numPlus = TextToHotKey("Ctrl+Alt+Num +", true) != 0 ? "" : "names no key here";
    Add("TextToHotKey(\"Ctrl+Alt+Num +\")", Measure(parse("Ctrl+Alt+Num +")), numPlus);
    Add("TextToHotKey(\"Shift+Volume Up\")", Measure(parse("Shift+Volume Up")));
    Add("literal loop: \"Ctrl+Alt+F5\"", namedLiteral);
    Add("literal loop: \"Ctrl+Foo\"", missLiteral);
    Add("HotKeyToText(0xC074)", Measure([] { sink = HotKeyToText(0xC074, true).size(); }));
    Add("index build (first parse after a layout change)", Measure([] {
            tarvik::hotkeys::KeyNameIndex().Clear();
            sink = TextToHotKey("Ctrl+Alt+F5", true);
        }));
    tarvik::platform::Platform& os = tarvik::platform::Os();
    std::string scratch;
    Add("one LCMapStringA sort key of \"f5\"", Measure([&os, &scratch] {
            sink = os.ComparisonKey("f5", scratch);
        }));
    Add("one CompareStringA of \"F5\" and \"f5\"",
        Measure([&os] { sink = os.EqualIgnoreCase("F5", "f5"); }));
    std::unordered_map<std::string, int> map = {{"F5", 116}, {"Home", 36}, {"Volume Up", 175}};
    const std::string key = "Home";
    Add("a hash-map look-up of a short text, for scale",
        Measure([&map, &key] { sink = map.find(key)->second; }));
    tarvik::hotkeys::HotKeysShutdown();

    // --- The DLL: load and unload ---
    Add("DLL load and unload (LoadLibrary + FreeLibrary)", Measure([&dllPath] {
            HMODULE module = LoadLibraryA(dllPath.c_str());
            if (module == nullptr) {
                std::fprintf(stderr, "tarvik_bench: cannot load %s\n", dllPath.c_str());
                std::exit(1);
            }
            FreeLibrary(module);
        }));

    Add("DLL map and unmap without its entry routine", Measure([&dllPath] {
            HMODULE module = LoadLibraryExA(dllPath.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
            if (module != nullptr) {
                FreeLibrary(module);
            }
        }));

    // --- The DLL: commands through the exports ---
    HMODULE module = LoadLibraryA(dllPath.c_str());
    Exports dll{};
    Resolve(module, "lmInitPlugIn", dll.InitPlugIn);
    Resolve(module, "lmRegisterPlugIn", dll.RegisterPlugIn);
    Resolve(module, "lmRegisterScriptProcessor", dll.RegisterScriptProcessor);
    Resolve(module, "lmRegisterInterfaceAccess", dll.RegisterInterfaceAccess);
    Resolve(module, "lmExecAction", dll.ExecAction);
    char* name = nullptr;
    char* author = nullptr;
    char* description = nullptr;
    dll.InitPlugIn(0, &name, &author, &description);
    for (char* block : {name, author, description}) {
        GlobalFree(block);
    }
    dll.RegisterPlugIn(OnRegisterAction, 0, 0, OnSetVariable);
    dll.RegisterScriptProcessor(OnScriptLine);
    dll.RegisterInterfaceAccess(OnInterfaceAccess);

    constexpr std::int32_t kAdd = 1, kRemove = 3, kIsValid = 6, kOnKeyPress = 8;
    Add("TarvikIsValid \"Ctrl+Alt+F5\" through lmExecAction",
        Measure([&dll] { Exec(dll, kIsValid, {"Ctrl+Alt+F5", "OK"}); }));
    Add("TarvikAdd + TarvikRemove \"Ctrl+Alt+F5\" through lmExecAction", Measure([&dll] {
            Exec(dll, kAdd, {"Ctrl+Alt+F5", "HK"});
            Exec(dll, kRemove, {"Ctrl+Alt+F5", "OK"});
        }));

    // --- One key press: WM_HOTKEY to the DLL's window, as the host's loop dispatches it ---
    Exec(dll, kAdd, {"Ctrl+Alt+F5", "HK"});
    const std::string id = lastValue;
    Exec(dll, kOnKeyPress, {"OnHotkey", "ID", "KEY"});
    const HWND window = HiddenWindowOf(module);
    if (window == nullptr || id.empty() || id == "0") {
        std::fprintf(stderr, "tarvik_bench: no hidden window or no registration (id %s)\n",
                     id.c_str());
        return 1;
    }
    const WPARAM wParam = static_cast<WPARAM>(std::stoul(id));
    const LPARAM lParam = MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_F5);
    std::vector<double> own;
    const Figure press = Measure([&] {
        span = CallbackSpan{};
        span.recording = true;
        SendMessageA(window, WM_HOTKEY, wParam, lParam);
        span.recording = false;
        if (span.count >= 2) {
            own.push_back(Microseconds(span.lastEntry - span.firstEntry - span.inside));
        }
    });
    if (own.empty()) {
        std::fprintf(stderr, "tarvik_bench: the press reached no host callback\n");
        return 1;
    }
    std::sort(own.begin(), own.end());
    const Figure ownFigure{own[own.size() / 2], own.front(), press.calls};
    char calls[64];
    std::snprintf(calls, sizeof(calls), "%d host callbacks", span.count);
    Add("key press: the plug-in's own time, first host callback to last", ownFigure, calls);
    Add("key press: the whole WM_HOTKEY dispatch, callbacks included", press);
    Exec(dll, kRemove, {"Ctrl+Alt+F5", "OK"});
    FreeLibrary(module);

    PrintTable();
    return 0;
}
