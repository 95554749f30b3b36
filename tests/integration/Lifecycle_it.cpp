// The DLL's boundary and life under real Win32 (wine64): loading, the catalogue, the
// contract's edge cases, presses, and unloading that leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "IntegrationSupport.h"

namespace tarvik::integration {
namespace {

// Combinations that no desktop of ours holds.
constexpr unsigned kCtrlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;

std::string AtomName(unsigned modifiers, unsigned key) {
    unsigned value = key;
    value |= (modifiers & MOD_SHIFT) != 0 ? 0x2000u : 0u;
    value |= (modifiers & MOD_CONTROL) != 0 ? 0x4000u : 0u;
    value |= (modifiers & MOD_ALT) != 0 ? 0x8000u : 0u;
    value |= (modifiers & MOD_WIN) != 0 ? 0x10000u : 0u;
    return "HotKeyManagerHotKey" + std::to_string(value);
}

// Whether this thread could take the combination right now (and gives it back).
bool IsFree(unsigned modifiers, unsigned key) {
    if (!RegisterHotKey(nullptr, 0x7000, modifiers, key)) {
        return false;
    }
    UnregisterHotKey(nullptr, 0x7000);
    return true;
}

bool HasUsEnglishLayout() {
    HKL layouts[100];
    const int count = GetKeyboardLayoutList(100, layouts);
    const HKL us = reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409));
    return std::find(layouts, layouts + count, us) != layouts + count;
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
    for (std::int32_t number : {0, 9, -1}) {
        EXPECT_EQ(Plugin().ExecRaw(number, nullptr), 0);
    }
    EXPECT_EQ(Plugin().ExecRaw(5, nullptr), 1);
    for (std::int32_t number = 1; number <= 8; ++number) {
        char* nulls[] = {nullptr, nullptr, nullptr};
        for (char** params : {nulls, static_cast<char**>(nullptr)}) {
            const std::int32_t result = Plugin().ExecRaw(number, params);
            EXPECT_TRUE(result == 0 || result == 1) << number << " gave " << result;
        }
    }
    char* cells[] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(Plugin().Api().EditAction(5, cells), 0);
    EXPECT_EQ(Plugin().Api().EditAction(9, cells), 0);
    Plugin().Api().Message();
    for (const std::string& event : Plugin().Events) {
        EXPECT_EQ(event.find("SetVariable HK"), std::string::npos) << event;
    }
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

TEST_F(BoundaryIt, AThousandRegistrationsLeaveNoAtomAndNoCombinationHeld) {
    const char* const texts[] = {"Ctrl+Alt+Shift+F9", "Ctrl+Alt+Shift+F10", "Ctrl+Alt+Shift+F11"};
    for (int round = 0; round < 1000; ++round) {
        const std::string text = texts[round % 3];
        ASSERT_TRUE(Plugin().Exec(1, {text, "ID"})) << round << " " << text;
        const std::string id = Plugin().Variable("ID").value_or("0");
        ASSERT_NE(id, "0") << round << ": " << Plugin().Variable("LastError").value_or("");
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

TEST(LifecycleIt, TwoHundredLoadCyclesInOneProcessAllSucceed) {
    for (int cycle = 0; cycle < 200; ++cycle) {
        std::string error;
        auto library = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library, nullptr) << "cycle " << cycle << ": " << error;
        host::Host plugin(library->Api());
        plugin.Connect();
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F9", "A"})) << "cycle " << cycle;
        ASSERT_TRUE(plugin.Exec(1, {"Ctrl+Alt+Shift+F10", "B"})) << "cycle " << cycle;
        const std::string a = plugin.Variable("A").value_or("0");
        ASSERT_NE(a, "0") << "cycle " << cycle << ": " << plugin.Variable("LastError").value_or("");
    }
    EXPECT_TRUE(IsFree(kCtrlAltShift, VK_F9));
    EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), 0);
}

TEST(LayoutLifecycleIt, TheUsEnglishLayoutIsLoadedOnlyWhileTheLibraryNeedsIt) {
    const bool hadUs = HasUsEnglishLayout();
    bool hadUsWhileLoaded = false;
    {
        std::string error;
        auto library = host::PluginLibrary::Load(DllPath(), error);
        ASSERT_NE(library, nullptr) << error;
        hadUsWhileLoaded = HasUsEnglishLayout();
    }
    EXPECT_EQ(HasUsEnglishLayout(), hadUs) << "unloaded at shut-down only when the library loaded it";
    if (hadUs || hadUsWhileLoaded) {
        return;
    }
    // The process had no US-English layout and did not get one while the library was
    // loaded: right only where the system cannot load a layout for a process at all.
    // Wine's LoadKeyboardLayoutA answers with the layout already active.
    const HKL us = reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409));
    const HKL loaded = LoadKeyboardLayoutA("00000409", KLF_NOTELLSHELL);
    if (loaded == us) {
        UnloadKeyboardLayout(loaded);
        FAIL() << "the system loads US-English on request, yet the library did not";
    }
    GTEST_SKIP() << "this system cannot load the US-English layout for the process";
}

}  // namespace
}  // namespace tarvik::integration
