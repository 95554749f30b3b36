// Scan codes, key names and the process's keyboard layouts. Names are compared with
// what the platform itself gives: Windows and Wine name keys differently.
#include <algorithm>
#include <array>

#include "ConformanceStage.h"

namespace tarvik::conformance {
namespace {

using platform::LayoutHandle;

constexpr unsigned kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12, kVkF1 = 0x70;
constexpr unsigned kMapScanToVk = 1;  // MAPVK_VSC_TO_VK

LayoutHandle Layout(std::uintptr_t value) {
    return reinterpret_cast<LayoutHandle>(value);
}

const LayoutHandle kUsEnglish = Layout(0x04090409);

bool Lists(const std::vector<LayoutHandle>& layouts, LayoutHandle layout) {
    return std::find(layouts.begin(), layouts.end(), layout) != layouts.end();
}

TEST_P(KeyboardConformance, EveryNamedKeyIsFoundAgainByItsName) {
    std::array<std::string, 256> names;
    int named = 0;
    for (unsigned code = 8; code < 256; ++code) {
        names[code] = KeyName(os(), code);
        named += names[code].empty() ? 0 : 1;
    }
    EXPECT_GE(named, 60);
    for (unsigned code = 8; code < 256; ++code) {
        if (names[code].empty()) {
            continue;
        }
        unsigned found = 8;
        while (found < 256 && !os().EqualIgnoreCase(names[found], names[code])) {
            ++found;
        }
        ASSERT_LE(found, code) << "no key is named " << names[code];
        EXPECT_EQ(names[found], names[code]) << "keys " << found << " and " << code;
    }
}

TEST_P(KeyboardConformance, ModifierKeysHaveNamesOfTheirOwn) {
    const std::string shift = KeyName(os(), kVkShift);
    const std::string control = KeyName(os(), kVkControl);
    const std::string alt = KeyName(os(), kVkMenu);
    EXPECT_FALSE(shift.empty());
    EXPECT_FALSE(control.empty());
    EXPECT_FALSE(alt.empty());
    EXPECT_NE(shift, control);
    EXPECT_NE(control, alt);
    EXPECT_NE(alt, shift);
}

TEST_P(KeyboardConformance, KeysHaveThePcScanCodesAndMapBack) {
    EXPECT_EQ(os().MapVirtualKeyCode(kVkShift, 0), 0x2Au);
    EXPECT_EQ(os().MapVirtualKeyCode(kVkControl, 0), 0x1Du);
    EXPECT_EQ(os().MapVirtualKeyCode(kVkMenu, 0), 0x38u);
    EXPECT_EQ(os().MapVirtualKeyCode('A', 0), 0x1Eu);
    EXPECT_EQ(os().MapVirtualKeyCode(kVkF1 + 4, 0), 0x3Fu);
    EXPECT_EQ(os().MapVirtualKeyCode(0x2A, kMapScanToVk), kVkShift);
    EXPECT_EQ(os().MapVirtualKeyCode(0x1D, kMapScanToVk), kVkControl);
    EXPECT_EQ(os().MapVirtualKeyCode(0x38, kMapScanToVk), kVkMenu);

    std::vector<unsigned> codes;
    for (unsigned c = '0'; c <= '9'; ++c) codes.push_back(c);
    for (unsigned c = 'A'; c <= 'Z'; ++c) codes.push_back(c);
    for (unsigned c = kVkF1; c < kVkF1 + 12; ++c) codes.push_back(c);
    for (unsigned code : codes) {
        const unsigned scan = os().MapVirtualKeyCode(code, 0);
        EXPECT_NE(scan, 0u) << code;
        EXPECT_EQ(os().MapVirtualKeyCode(scan, kMapScanToVk), code) << code;
    }
    EXPECT_EQ(os().MapVirtualKeyCode(0x07, 0), 0u);  // reserved: no key
}

// The library loads the US-English layout for the process at start and unloads it at
// the end when the process did not have it before.
TEST_P(KeyboardConformance, TheUsLayoutLoadsBesideTheOthersAndUnloadsAgain) {
    const std::vector<LayoutHandle> before = os().LayoutList(100);
    const LayoutHandle active = os().ThreadLayout();
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(Lists(before, active));
    const bool hadUs = Lists(before, kUsEnglish);

    const LayoutHandle us = os().LoadLayout("00000409", platform::kKlfNoTellShell);
    if (stage().IsWine() && us != kUsEnglish) {
        // Known Wine deviation: Wine's LoadKeyboardLayoutW is a semi-stub (its own FIXME
        // says so) that answers with the thread's layout when asked for one the X
        // keyboard does not have, and its UnloadKeyboardLayout is a stub.
        EXPECT_EQ(us, active);
        EXPECT_EQ(os().LayoutList(100), before);
        return;
    }
    ASSERT_EQ(us, kUsEnglish);
    const std::vector<LayoutHandle> loaded = os().LayoutList(100);
    EXPECT_TRUE(Lists(loaded, us));
    EXPECT_EQ(os().ThreadLayout(), active);  // loaded, not activated
    EXPECT_EQ(os().MapVirtualKeyCodeEx('A', 0, us), 0x1Eu);
    EXPECT_EQ(os().MapVirtualKeyCodeEx(kVkControl, 0, us), 0x1Du);

    if (hadUs) {
        EXPECT_EQ(loaded, before);
    } else {
        EXPECT_EQ(loaded.size(), before.size() + 1);
        EXPECT_TRUE(os().UnloadLayout(us));
        EXPECT_EQ(os().LayoutList(100), before);
        EXPECT_EQ(os().ThreadLayout(), active);
    }
}

TEST_P(KeyboardConformance, ActivatingTheActiveLayoutAnswersWithIt) {
    const LayoutHandle active = os().ThreadLayout();
    EXPECT_EQ(os().ActivateLayout(active, 0), active);
    EXPECT_EQ(os().ThreadLayout(), active);
}

TEST_P(KeyboardConformance, UnloadingALayoutThatIsNotLoadedFails) {
    const std::vector<LayoutHandle> before = os().LayoutList(100);
    for (std::uintptr_t value : {0x04070407u, 0x04190419u, 0x04090409u}) {
        if (!Lists(before, Layout(value))) {
            EXPECT_FALSE(os().UnloadLayout(Layout(value))) << std::hex << value;
            EXPECT_EQ(os().LayoutList(100), before);
            return;
        }
    }
    GTEST_SKIP() << "every candidate layout is loaded";
}

}  // namespace
}  // namespace tarvik::conformance
