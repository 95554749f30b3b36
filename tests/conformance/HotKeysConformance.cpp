// Hotkeys and the hidden window that holds them: who may hold a combination, what
// unregistering answers, and how a press arrives.
#include "ConformanceStage.h"

namespace tarvik::conformance {
namespace {

using platform::kErrorHotkeyAlreadyRegistered;
using platform::kErrorHotkeyNotRegistered;
using platform::kErrorInvalidWindowHandle;
using platform::kModAlt;
using platform::kModControl;
using platform::kModShift;

// Combinations nobody else on a test machine holds; each case has its own.
constexpr unsigned kCtrlShift = kModControl | kModShift;
constexpr unsigned kVkF6 = 0x75, kVkF7 = 0x76, kVkF8 = 0x77, kVkF9 = 0x78, kVkF10 = 0x79;
constexpr unsigned kVkF11 = 0x7A;

TEST_P(HotKeysConformance, ACombinationHeldByOneWindowIsRefusedToEveryOtherHolder) {
    RecordingWindow first(os());
    RecordingWindow second(os());
    ASSERT_NE(first.handle(), nullptr);
    ASSERT_NE(second.handle(), nullptr);
    HotKeyRegistration held(os(), first.handle(), 0xC001, kCtrlShift, kVkF6);
    ASSERT_TRUE(held.granted()) << held.error();

    HotKeyRegistration otherWindow(os(), second.handle(), 0xC001, kCtrlShift, kVkF6);
    HotKeyRegistration sameWindow(os(), first.handle(), 0xC002, kCtrlShift, kVkF6);
    HotKeyRegistration thread(os(), nullptr, 0xC003, kCtrlShift, kVkF6);
    EXPECT_FALSE(otherWindow.granted());
    EXPECT_EQ(otherWindow.error(), kErrorHotkeyAlreadyRegistered);
    EXPECT_FALSE(sameWindow.granted());
    EXPECT_EQ(sameWindow.error(), kErrorHotkeyAlreadyRegistered);
    EXPECT_FALSE(thread.granted());
    EXPECT_EQ(thread.error(), kErrorHotkeyAlreadyRegistered);

    // Another key, or another set of modifiers, is another combination.
    HotKeyRegistration otherKey(os(), second.handle(), 0xC004, kCtrlShift, kVkF7);
    HotKeyRegistration otherModifiers(os(), second.handle(), 0xC005, kCtrlShift | kModAlt,
                                      kVkF6);
    EXPECT_TRUE(otherKey.granted()) << otherKey.error();
    EXPECT_TRUE(otherModifiers.granted()) << otherModifiers.error();
}

TEST_P(HotKeysConformance, ACombinationHeldByAnotherProcessIsRefusedUntilItLetsGo) {
    std::string why;
    auto hold = stage().HoldElsewhere(kCtrlShift, kVkF8, why);
    if (hold == nullptr) {
        GTEST_SKIP() << "no other process: " << why;
    }
    RecordingWindow window(os());
    {
        HotKeyRegistration refused(os(), window.handle(), 0xC010, kCtrlShift, kVkF8);
        EXPECT_FALSE(refused.granted());
        EXPECT_EQ(refused.error(), kErrorHotkeyAlreadyRegistered);
    }
    hold.reset();
    HotKeyRegistration granted(os(), window.handle(), 0xC010, kCtrlShift, kVkF8);
    EXPECT_TRUE(granted.granted()) << granted.error();
}

TEST_P(HotKeysConformance, UnregisteringWhatIsNotHeldFailsWithHotKeyNotRegistered) {
    RecordingWindow window(os());
    os().SetLastError(0);
    EXPECT_FALSE(os().UnregisterHotKey(window.handle(), 0xC020));
    EXPECT_EQ(os().LastError(), kErrorHotkeyNotRegistered);
    os().SetLastError(0);
    EXPECT_FALSE(os().UnregisterHotKey(nullptr, 0xC020));
    EXPECT_EQ(os().LastError(), kErrorHotkeyNotRegistered);
}

TEST_P(HotKeysConformance, ACombinationLetGoCanBeRegisteredAgain) {
    RecordingWindow first(os());
    RecordingWindow second(os());
    HotKeyRegistration once(os(), first.handle(), 0xC030, kCtrlShift, kVkF9);
    ASSERT_TRUE(once.granted()) << once.error();
    EXPECT_TRUE(once.Release());
    os().SetLastError(0);
    EXPECT_FALSE(os().UnregisterHotKey(first.handle(), 0xC030));
    EXPECT_EQ(os().LastError(), kErrorHotkeyNotRegistered);

    HotKeyRegistration again(os(), first.handle(), 0xC030, kCtrlShift, kVkF9);
    EXPECT_TRUE(again.granted()) << again.error();
    EXPECT_TRUE(again.Release());
    HotKeyRegistration elsewhere(os(), second.handle(), 0xC031, kCtrlShift, kVkF9);
    EXPECT_TRUE(elsewhere.granted()) << elsewhere.error();
}

// Windows keeps an earlier registration under the same window and id beside the new
// one ("it is maintained along with the new hot key"); each unregistration lets go of
// one, the newer first. Wine replaces the earlier one instead, as Windows Server 2003
// did: a known Wine deviation, accepted only there.
TEST_P(HotKeysConformance, ASecondRegistrationUnderTheSameWindowAndIdKeepsTheFirst) {
    RecordingWindow window(os());
    RecordingWindow probe(os());
    ASSERT_TRUE(os().RegisterHotKey(window.handle(), 0xC040, kCtrlShift, kVkF10));
    ASSERT_TRUE(os().RegisterHotKey(window.handle(), 0xC040, kCtrlShift, kVkF11));
    const bool keepsBoth = !stage().IsWine();
    {
        HotKeyRegistration newer(os(), probe.handle(), 1, kCtrlShift, kVkF11);
        HotKeyRegistration earlier(os(), probe.handle(), 2, kCtrlShift, kVkF10);
        EXPECT_FALSE(newer.granted());
        EXPECT_EQ(newer.error(), kErrorHotkeyAlreadyRegistered);
        EXPECT_EQ(earlier.granted(), !keepsBoth);
    }

    EXPECT_TRUE(os().UnregisterHotKey(window.handle(), 0xC040));
    {
        HotKeyRegistration newer(os(), probe.handle(), 1, kCtrlShift, kVkF11);
        EXPECT_TRUE(newer.granted()) << newer.error();
    }
    if (keepsBoth) {
        HotKeyRegistration earlier(os(), probe.handle(), 2, kCtrlShift, kVkF10);
        EXPECT_FALSE(earlier.granted());
        EXPECT_TRUE(os().UnregisterHotKey(window.handle(), 0xC040));
    }
    os().SetLastError(0);
    EXPECT_FALSE(os().UnregisterHotKey(window.handle(), 0xC040));
    EXPECT_EQ(os().LastError(), kErrorHotkeyNotRegistered);
    HotKeyRegistration earlier(os(), probe.handle(), 2, kCtrlShift, kVkF10);
    EXPECT_TRUE(earlier.granted()) << earlier.error();
}

TEST_P(HotKeysConformance, AWindowLetsGoOfItsHotKeysWhenDestroyedAndTakesNoMore) {
    RecordingWindow window(os());
    RecordingWindow other(os());
    ASSERT_TRUE(os().RegisterHotKey(window.handle(), 0xC050, kCtrlShift | kModAlt, kVkF7));
    ASSERT_TRUE(window.Destroy());

    HotKeyRegistration freed(os(), other.handle(), 0xC051, kCtrlShift | kModAlt, kVkF7);
    EXPECT_TRUE(freed.granted()) << freed.error();
    HotKeyRegistration stale(os(), window.stale(), 0xC052, kCtrlShift | kModAlt, kVkF8);
    EXPECT_FALSE(stale.granted());
    EXPECT_EQ(stale.error(), kErrorInvalidWindowHandle);
    os().SetLastError(0);
    EXPECT_FALSE(os().UnregisterHotKey(window.stale(), 0xC050));
    EXPECT_EQ(os().LastError(), kErrorInvalidWindowHandle);
}

TEST_P(HotKeysConformance, APressReachesTheHoldingWindowAsWmHotKey) {
    constexpr unsigned kModifiers = kModControl | kModAlt;
    RecordingWindow window(os());
    RecordingWindow bystander(os());
    HotKeyRegistration held(os(), window.handle(), 0xC060, kModifiers, kVkF6);
    ASSERT_TRUE(held.granted()) << held.error();

    stage().Press(kModifiers, kVkF6);
    ASSERT_TRUE(stage().PumpUntil([&] { return !window.received().empty(); }));

    const auto& message = window.received().front();
    EXPECT_EQ(message.window, window.handle());
    EXPECT_EQ(message.wParam, 0xC060u);
    EXPECT_EQ(message.lParam, static_cast<std::intptr_t>(kModifiers | kVkF6 << 16));
    EXPECT_TRUE(bystander.received().empty());
}

TEST_P(HiddenWindowConformance, WindowsAreDistinctDestroyedOnceAndMadeAgainAfterTheLast) {
    auto first = std::make_unique<RecordingWindow>(os());
    auto second = std::make_unique<RecordingWindow>(os());
    ASSERT_NE(first->handle(), nullptr);
    ASSERT_NE(second->handle(), nullptr);
    EXPECT_NE(first->handle(), second->handle());
    EXPECT_EQ(os().DefaultWindowProc(second->handle(), platform::kWmHotKey, 1, 2), 0);

    EXPECT_TRUE(first->Destroy());
    os().SetLastError(0);
    EXPECT_FALSE(os().DestroyHiddenWindow(first->stale()));
    EXPECT_EQ(os().LastError(), kErrorInvalidWindowHandle);

    // With the last window gone the class goes too, and the next window brings it back.
    second.reset();
    first.reset();
    RecordingWindow third(os());
    EXPECT_NE(third.handle(), nullptr) << os().LastError();
}

// What a library unloaded on a thread other than its loading thread can and cannot do
// with the window that the loading thread made.
TEST_P(HiddenWindowConformance, AnotherThreadCannotRegisterOnTheWindowButEndsItForItsThread) {
    constexpr unsigned kModifiers = platform::kModControl | platform::kModAlt | platform::kModShift;
    auto isFree = [this](unsigned key) {
        if (!os().RegisterHotKey(nullptr, 0x7001, kModifiers, key)) {
            return false;
        }
        os().UnregisterHotKey(nullptr, 0x7001);
        return true;
    };
    RecordingWindow window(os());
    ASSERT_NE(window.handle(), nullptr);
    ASSERT_TRUE(os().RegisterHotKey(window.handle(), 0xC061, kModifiers, kVkF7));
    bool registered = true;
    bool unregistered = true;
    bool ended = false;
    std::uint32_t registerError = 0;
    std::uint32_t unregisterError = 0;
    stage().OnOtherThread([&] {
        registered = os().RegisterHotKey(window.handle(), 0xC062, kModifiers, kVkF8);
        registerError = os().LastError();
        unregistered = os().UnregisterHotKey(window.handle(), 0xC061);
        unregisterError = os().LastError();
        ended = os().DestroyHiddenWindow(window.handle());
    });
    EXPECT_FALSE(registered);
    EXPECT_EQ(registerError, platform::kErrorWindowOfOtherThread);
    EXPECT_FALSE(unregistered);
    EXPECT_EQ(unregisterError, platform::kErrorWindowOfOtherThread);
    EXPECT_TRUE(ended) << "handed back to its thread";
    EXPECT_FALSE(isFree(kVkF7)) << "held until the window's own thread pumps";

    stage().Press(kModifiers, kVkF7);
    EXPECT_TRUE(stage().PumpUntil([&] { return isFree(kVkF7); }));
    EXPECT_TRUE(window.received().empty()) << "the sink heard nothing after the hand-back";
    os().SetLastError(0);
    EXPECT_FALSE(os().DestroyHiddenWindow(window.handle())) << "the window is gone";
    EXPECT_EQ(os().LastError(), kErrorInvalidWindowHandle);
}

}  // namespace
}  // namespace tarvik::conformance
