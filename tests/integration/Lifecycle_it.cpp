// The DLL's boundary and life under real Win32 (wine64): loading, the catalogue, the
// contract's edge cases, presses, and unloading that leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IntegrationSupport.h"
#include "support/Combinations.h"
#include "support/ImportPatch.h"

namespace tarvik::integration {
namespace {

// Combinations that no desktop of ours holds.
constexpr unsigned kCtrlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;

using testing_support::AtomName;
using testing_support::IsFree;
using testing_support::MessageOnlyWindowsOfThisThread;

// Runs `work` on a thread of its own and waits until that thread has ended.
DWORD WINAPI RunWork(LPVOID work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}
void OnOtherThread(const std::function<void()>& work) {
    HANDLE thread = CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work),
                                 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// Loads the DLL, connects a host and registers one combination under the variable HK.
struct LoadedPlugin {
    explicit LoadedPlugin(const std::string& text) {
        std::string error;
        library = host::PluginLibrary::Load(DllPath(), error);
        if (library == nullptr) {
            ADD_FAILURE() << error;
            return;
        }
        plugin = std::make_unique<host::Host>(library->Api());
        plugin->Connect();
        EXPECT_TRUE(plugin->Exec(1, {text, "HK"}));
        EXPECT_NE(plugin->Variable("HK").value_or("0"), "0")
            << plugin->Variable("LastError").value_or("");
    }
    bool Loaded() const { return plugin != nullptr; }

    std::unique_ptr<host::PluginLibrary> library;
    std::unique_ptr<host::Host> plugin;
};

std::vector<HKL> Layouts() {
    HKL layouts[100];
    const int count = GetKeyboardLayoutList(100, layouts);
    return std::vector<HKL>(layouts, layouts + std::max(count, 0));
}

// The library's layout calls, counted through its import table: Wine neither loads nor
// unloads a layout for a process, so the process's list alone cannot show one.
int layoutCalls = 0;
HKL WINAPI CountLoadKeyboardLayoutA(LPCSTR id, UINT flags) {
    ++layoutCalls;
    return LoadKeyboardLayoutA(id, flags);
}
HKL WINAPI CountActivateKeyboardLayout(HKL layout, UINT flags) {
    ++layoutCalls;
    return ActivateKeyboardLayout(layout, flags);
}
BOOL WINAPI CountUnloadKeyboardLayout(HKL layout) {
    ++layoutCalls;
    return UnloadKeyboardLayout(layout);
}

using BoundaryIt = PluginFixture;

TEST_F(BoundaryIt, HandsBackItsNameAndRegistersTheCatalogueThroughTheExports) {
    EXPECT_EQ(Plugin().PluginName, "Tarvik");
    EXPECT_EQ(Plugin().PluginAuthor, "Halvenor");
    EXPECT_FALSE(Plugin().PluginDescription.empty());
    ASSERT_EQ(Plugin().Catalogue.size(), 11u);
    const std::int32_t numbers[] = {0, 1, 2, 3, 4, 0, 5, 6, 7, 0, 8};
    const char* names[] = {nullptr, "TarvikAdd", "TarvikChange", "TarvikRemove", "TarvikRemoveById",
                           nullptr, "TarvikClear", "TarvikIsValid", "TarvikIsAvailable", nullptr,
                           "tvOnKeyPress"};
    const std::int32_t counts[] = {0, 2, 3, 2, 2, 0, 0, 2, 2, 0, 3};
    for (std::size_t i = 0; i < 11; ++i) {
        const host::CatalogueCall& call = Plugin().Catalogue[i];
        EXPECT_EQ(call.number, numbers[i]) << i;
        EXPECT_EQ(call.count, counts[i]) << i;
        EXPECT_EQ(call.kindsHigh + 1, static_cast<std::int32_t>(call.kinds.size()));
        if (names[i] != nullptr) {
            EXPECT_EQ(call.name, names[i]);
        } else {
            EXPECT_EQ(call.description, "") << "a category has no description";
            EXPECT_EQ(call.kinds, std::vector<std::uint8_t>{0});
        }
    }
    EXPECT_EQ(Plugin().Catalogue[1].description, "TarvikAdd");
    EXPECT_EQ(Plugin().Catalogue[2].kinds, (std::vector<std::uint8_t>{3, 1, 6}));
    EXPECT_EQ(Plugin().Catalogue[10].kinds, (std::vector<std::uint8_t>{1, 6, 6}));

    Plugin().Connect();
    EXPECT_EQ(Plugin().Catalogue.size(), 22u) << "a second registration repeats the catalogue";
}

// The catalogue's Russian texts are stored as Unicode and reach the host in its own
// ANSI code page: intact under a Cyrillic one, replaced where the code page has no
// Cyrillic letters.
TEST_F(BoundaryIt, CatalogueTextsArriveInTheHostsCodePage) {
    ASSERT_EQ(Plugin().Catalogue.size(), 11u);
    const std::string& category = Plugin().Catalogue[0].name;
    const std::wstring expected = L"\x041A\x043B\x0430\x0432\x0438\x0448\x0438";  // Klavishi
    wchar_t wide[64] = {};
    const int length = MultiByteToWideChar(CP_ACP, 0, category.c_str(), -1, wide, 64);
    ASSERT_GT(length, 0);
    if (GetACP() == 1251) {
        EXPECT_EQ(std::wstring(wide), expected);
    } else {
        EXPECT_EQ(category.size(), expected.size()) << "one ANSI character per letter";
        EXPECT_NE(std::wstring(wide), expected);
    }
}

TEST_F(BoundaryIt, AnswersTheContractsEdgeCasesWithoutCrashing) {
    Plugin().Events.clear();
    for (std::int32_t number : {0, 9, -1, 0x7FFFFFFF}) {
        EXPECT_EQ(Plugin().ExecRaw(number, nullptr), 0);
    }
    EXPECT_TRUE(Plugin().Events.empty()) << "a number outside 1 to 8 runs nothing";
    EXPECT_EQ(Plugin().ExecRaw(5, nullptr), 1);

    // A null array or null slots are empty texts: TarvikAdd refuses "" as not valid and
    // says so in LastError; every other command answers true and, its result variable
    // being blank, writes nothing.
    const std::int32_t expected[] = {0, 1, 1, 1, 1, 1, 1, 1};
    const std::string notValid = "SetVariable LastError=The Hotkey \"\" is not valid for register";
    for (std::int32_t number = 1; number <= 8; ++number) {
        char* nulls[] = {nullptr, nullptr, nullptr};
        for (char** params : {nulls, static_cast<char**>(nullptr)}) {
            Plugin().Events.clear();
            EXPECT_EQ(Plugin().ExecRaw(number, params), expected[number - 1]) << number;
            std::vector<std::string> writes;
            for (const std::string& event : Plugin().Events) {
                if (event.rfind("SetVariable ", 0) == 0 || event.rfind("Script ", 0) == 0) {
                    writes.push_back(event);
                }
            }
            EXPECT_EQ(writes, number == 1 ? std::vector<std::string>{notValid}
                                          : std::vector<std::string>{})
                << number;
        }
    }
    char* cells[] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(Plugin().Api().EditAction(5, cells), 0);
    EXPECT_EQ(Plugin().Api().EditAction(9, cells), 0);
    Plugin().Events.clear();
    Plugin().Api().Message();
    EXPECT_TRUE(Plugin().Events.empty());
}

TEST_F(BoundaryIt, ARegisteredCombinationFiresOnARealPressWhileTheHostPumps) {
    ASSERT_TRUE(Plugin().Exec(1, {"Ctrl+Alt+Shift+F9", "HK"}));
    const std::string id = Plugin().Variable("HK").value_or("");
    ASSERT_FALSE(id.empty());
    const unsigned long number = std::stoul(id);
    EXPECT_GE(number, 0xC000u);
    EXPECT_LE(number, 0xFFFFu);
    EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), number);

    Plugin().Subroutines = {"OnHotkey"};
    std::vector<std::string> ran;
    Plugin().RunSubroutine = [&](const std::string& name) {
        ran.push_back(name + " " + Plugin().Variable("ID").value_or("?"));
    };
    ASSERT_TRUE(Plugin().Exec(8, {"OnHotkey", "ID", "KEY"}));
    ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F9));
    ASSERT_TRUE(PumpUntil([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<std::string>{"OnHotkey " + id});
    EXPECT_FALSE(Plugin().Variable("ID").has_value()) << "cleared after the subroutine";
}

TEST_F(BoundaryIt, TenThousandRegistrationsLeaveNoAtomAndNoCombinationHeld) {
    const char* const texts[] = {"Ctrl+Alt+Shift+F9", "Ctrl+Alt+Shift+F10", "Ctrl+Alt+Shift+F11"};
    for (int round = 0; round < 10000; ++round) {
        const std::string text = texts[round % 3];
        ASSERT_TRUE(Plugin().Exec(1, {text, "ID"})) << round << " " << text;
        std::string id = Plugin().Variable("ID").value_or("0");
        ASSERT_NE(id, "0") << round << ": " << Plugin().Variable("LastError").value_or("");
        if (round % 5 == 4) {
            // Changed to the next text and back, then removed by id.
            const std::string other = texts[(round + 1) % 3];
            ASSERT_TRUE(Plugin().Exec(2, {id, other, "ID"})) << round;
            ASSERT_TRUE(Plugin().Exec(2, {Plugin().Variable("ID").value_or("0"), text, "ID"}));
            id = Plugin().Variable("ID").value_or("0");
            ASSERT_NE(id, "0") << round << ": " << Plugin().Variable("LastError").value_or("");
        }
        if (round % 2 == 0) {
            ASSERT_TRUE(Plugin().Exec(4, {id, "R"}));
        } else {
            ASSERT_TRUE(Plugin().Exec(3, {text, "R"}));
        }
        ASSERT_EQ(Plugin().Variable("R").value_or(""), "True") << round;
    }
    for (unsigned key : {VK_F9, VK_F10, VK_F11}) {
        EXPECT_TRUE(IsFree(kCtrlAltShift, key)) << key;
        EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, key).c_str()), 0) << key;
    }
}

#if defined(__i386__)
// The host's stdcall check itself: a function that pops its own arguments leaves the stack
// where it was, one that leaves them to the caller (cdecl) is caught, and so is a call
// that pushes more words than the callee pops.
std::int32_t __stdcall PopsTwo(std::int32_t a, std::int32_t b) { return a + b; }
std::int32_t __cdecl PopsNone(std::int32_t a, std::int32_t b) { return a + b; }

TEST(CallingConventionIt, TheHostsStackCheckCatchesACalleeThatPopsTheWrongCount) {
    std::int32_t moved = -1;
    EXPECT_EQ(host::system::CallStdcallChecked(reinterpret_cast<const void*>(&PopsTwo), {2, 3}, moved), 5u);
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(host::system::CallStdcallChecked(reinterpret_cast<const void*>(&PopsNone), {2, 3}, moved), 5u);
    EXPECT_EQ(moved, -8);
    host::system::CallStdcallChecked(reinterpret_cast<const void*>(&PopsTwo), {2, 3, 4}, moved);
    EXPECT_EQ(moved, -4);
}

// An entry point built with another convention than the host's is reported by its name.
std::int32_t __cdecl ExecLeavesItsArguments(std::int32_t, char**) { return 1; }
std::vector<std::string> reported;

TEST(CallingConventionIt, AnEntryPointThatLeavesTheStackOffIsReportedByName) {
    host::PluginApi api{};
    api.ExecAction = reinterpret_cast<decltype(api.ExecAction)>(reinterpret_cast<void*>(&ExecLeavesItsArguments));
    host::CheckCallingConvention(api);
    reported.clear();
    host::system::OnCallingConventionFault([](const std::string& fault) { reported.push_back(fault); });
    const std::int32_t answer = api.ExecAction(1, nullptr);
    host::system::OnCallingConventionFault(&testing_support::FailTheRunningTest);
    EXPECT_EQ(answer, 1);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].rfind("lmExecAction: the stack pointer moved by -8 bytes", 0), 0u) << reported[0];
}
#endif

TEST(LifecycleIt, UnloadingWithHotkeysRegisteredFreesEveryCombinationAndAtom) {
    const unsigned keys[] = {VK_F9, VK_F10, VK_F11};
    {
        std::string error;
        auto library = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library, nullptr) << error;
        host::Host plugin(library->Api());
        plugin.Connect();
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F9", "A"}));
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F10", "B"}));
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F11", "C"}));
        for (unsigned key : keys) {
            EXPECT_FALSE(IsFree(kCtrlAltShift, key));
        }
    }
    for (unsigned key : keys) {
        EXPECT_TRUE(IsFree(kCtrlAltShift, key)) << key;
        EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, key).c_str()), 0) << key;
    }
    EXPECT_EQ(GlobalFindAtomA("HotKeyManagerHotKeyTest"), 0);
}

TEST(LifecycleIt, TwoHundredLoadCyclesEveryTenthUnloadedFromAnotherThread) {
    const std::size_t windowsBefore = MessageOnlyWindowsOfThisThread();
    for (int cycle = 0; cycle < 200; ++cycle) {
        std::string error;
        auto library = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library, nullptr) << "cycle " << cycle << ": " << error;
        auto plugin = std::make_unique<host::Host>(library->Api());
        plugin->Connect();
        ASSERT_TRUE(plugin->Exec(1, {"Ctrl+Alt+Shift+F9", "A"})) << "cycle " << cycle;
        ASSERT_TRUE(plugin->Exec(1, {"Ctrl+Alt+Shift+F10", "B"})) << "cycle " << cycle;
        const std::string a = plugin->Variable("A").value_or("0");
        ASSERT_NE(a, "0") << "cycle " << cycle << ": " << plugin->Variable("LastError").value_or("");
        ASSERT_NE(plugin->Variable("B").value_or("0"), "0") << "cycle " << cycle;
        plugin.reset();
        if (cycle % 10 == 9) {
            OnOtherThread([&] { library.reset(); });
            EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), 0) << cycle;
            EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F10).c_str()), 0) << cycle;
            // The next load takes the same combinations once this thread has pumped.
            ASSERT_TRUE(PumpUntil([] {
                return IsFree(kCtrlAltShift, VK_F9) && IsFree(kCtrlAltShift, VK_F10);
            })) << "cycle " << cycle;
        } else {
            library.reset();
        }
        ASSERT_EQ(MessageOnlyWindowsOfThisThread(), windowsBefore) << "cycle " << cycle;
    }
    EXPECT_TRUE(IsFree(kCtrlAltShift, VK_F9));
    EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), 0);
    EXPECT_EQ(GlobalFindAtomA("HotKeyManagerHotKeyTest"), 0);
}

// A host that loads the plug-in on its user-interface thread and frees it from a
// worker thread, while its message loop runs on.
TEST(LifecycleIt, UnloadedFromAnotherThreadThePressIsHarmlessAndTheCombinationFree) {
    const std::size_t windowsBefore = MessageOnlyWindowsOfThisThread();
    std::vector<std::string> ran;
    {
        LoadedPlugin loaded("Ctrl+Alt+Shift+F9");
        ASSERT_TRUE(loaded.Loaded());
        loaded.plugin->Subroutines = {"OnHotkey"};
        loaded.plugin->RunSubroutine = [&ran](const std::string& name) { ran.push_back(name); };
        ASSERT_TRUE(loaded.plugin->Exec(8, {"OnHotkey", "ID", "KEY"}));
        EXPECT_FALSE(IsFree(kCtrlAltShift, VK_F9));
        OnOtherThread([&] { loaded.library.reset(); });
    }
    EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), 0)
        << "the registration's atom reference goes with the unload";

    // The user presses the old combination; the host's loop dispatches whatever comes.
    ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F9));
    EXPECT_TRUE(PumpUntil([] { return IsFree(kCtrlAltShift, VK_F9); }))
        << "the combination is free once the loading thread has pumped";
    host::system::PumpMessages(200);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(MessageOnlyWindowsOfThisThread(), windowsBefore);

    // Loaded again on the same thread, the same combination works.
    LoadedPlugin again("Ctrl+Alt+Shift+F9");
    ASSERT_TRUE(again.Loaded());
    again.plugin->Subroutines = {"OnHotkey"};
    again.plugin->RunSubroutine = [&ran](const std::string& name) { ran.push_back(name); };
    ASSERT_TRUE(again.plugin->Exec(8, {"OnHotkey", "ID", "KEY"}));
    ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F9));
    EXPECT_TRUE(PumpUntil([&ran] { return !ran.empty(); }));
    EXPECT_EQ(ran, std::vector<std::string>{"OnHotkey"});
}

// Loaded, used and unloaded on a worker thread, which then pumps its own messages;
// afterwards the user-interface thread takes the same combination.
TEST(LifecycleIt, LoadedOnAWorkerThreadItWorksThereAndLeavesNothing) {
    std::vector<std::string> ran;
    bool freeAfterUnload = false;
    OnOtherThread([&] {
        LoadedPlugin loaded("Ctrl+Alt+Shift+F10");
        if (!loaded.Loaded()) {
            return;
        }
        loaded.plugin->Subroutines = {"OnHotkey"};
        loaded.plugin->RunSubroutine = [&ran](const std::string& name) { ran.push_back(name); };
        EXPECT_TRUE(loaded.plugin->Exec(8, {"OnHotkey", "ID", "KEY"}));
        EXPECT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F10));
        EXPECT_TRUE(PumpUntil([&ran] { return !ran.empty(); }));
        loaded.plugin.reset();
        loaded.library.reset();
        freeAfterUnload = IsFree(kCtrlAltShift, VK_F10);
    });
    EXPECT_EQ(ran, std::vector<std::string>{"OnHotkey"});
    EXPECT_TRUE(freeAfterUnload) << "unloaded on its loading thread, at once";
    EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F10).c_str()), 0);
    LoadedPlugin again("Ctrl+Alt+Shift+F10");
    EXPECT_TRUE(again.Loaded());
}

// Every command, a press and the unload leave the process's keyboard layouts alone: no
// layout is loaded, activated or unloaded for names that nobody asks for in English.
TEST(LayoutLifecycleIt, CommandsAPressAndTheUnloadTouchNoKeyboardLayout) {
    const std::vector<HKL> before = Layouts();
    std::string error;
    auto library = host::PluginLibrary::Load(DllPath(), error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(Layouts(), before) << "loading the library loads no layout";
    const HMODULE module = GetModuleHandleW(L"TarvikD.lmp");
    ASSERT_NE(module, nullptr);
    layoutCalls = 0;
    auto patch = std::make_unique<testing_support::ImportPatch>(
        module, std::vector<testing_support::ImportReplacement>{
                    {"user32.dll", "LoadKeyboardLayoutA", reinterpret_cast<const void*>(&CountLoadKeyboardLayoutA)},
                    {"user32.dll", "ActivateKeyboardLayout",
                     reinterpret_cast<const void*>(&CountActivateKeyboardLayout)},
                    {"user32.dll", "UnloadKeyboardLayout", reinterpret_cast<const void*>(&CountUnloadKeyboardLayout)}});
    EXPECT_EQ(patch->Patched().size(), 3u) << "the library imports all three, so all three are counted";
    {
        host::Host plugin(library->Api());
        plugin.Connect();
        plugin.Subroutines = {"OnHotkey"};
        std::vector<std::string> ran;
        plugin.RunSubroutine = [&ran](const std::string& name) { ran.push_back(name); };
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F11", "HK"}));
        EXPECT_TRUE(plugin.Exec(6, {"Ctrl+Alt+Shift+F12", "V"}));
        EXPECT_TRUE(plugin.Exec(7, {"Ctrl+Alt+Shift+F12", "V"}));
        EXPECT_TRUE(plugin.Exec(8, {"OnHotkey", "ID", "KEY"}));
        ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F11));
        EXPECT_TRUE(PumpUntil([&ran] { return !ran.empty(); }));
        EXPECT_TRUE(plugin.Exec(2, {plugin.Variable("HK").value_or(""), "Ctrl+Alt+Shift+F12", "HK"}));
        EXPECT_TRUE(plugin.Exec(4, {plugin.Variable("HK").value_or(""), "R"}));
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F11", "HK"}));
        EXPECT_TRUE(plugin.Exec(3, {"Ctrl+Alt+Shift+F11", "R"}));
        EXPECT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F11", "HK"}));
        EXPECT_TRUE(plugin.Exec(5, {}));
        EXPECT_EQ(ran, std::vector<std::string>{"OnHotkey"});
    }
    library.reset();  // the shut-down runs with the counting table still in place
    patch.reset();
    EXPECT_EQ(layoutCalls, 0);
    EXPECT_EQ(Layouts(), before);
}

}  // namespace
}  // namespace tarvik::integration
