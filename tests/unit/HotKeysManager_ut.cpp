// The hotkey manager against the in-memory platform, seen through a thin recorder that
// logs the calls whose order matters and can refuse what the fake always grants.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "hotkeys/UHotKeys.h"
#include "ForwardingPlatform.h"
#include "platform/FakePlatform.h"

namespace tarvik::hotkeys {
namespace {

using platform::Atom;
using platform::FakePlatform;
using platform::kModAlt;
using platform::kModControl;
using platform::kModShift;
using platform::kModWin;
using platform::LayoutHandle;
using platform::MessageSink;
using platform::WindowHandle;

constexpr HotKeyValue kCtrlAltF5 = 0xC074;
constexpr HotKeyValue kCtrlA = 0x4041;
constexpr HotKeyValue kShiftWinB = 0x12042;

class RecordingPlatform final : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;

    std::vector<std::string> calls;  // register / unregister / default, in order
    bool failWindow = false;
    bool refuseUnregister = false;
    MessageSink* sink = nullptr;

    bool RegisterHotKey(WindowHandle w, int id, unsigned mods, unsigned key) override {
        calls.push_back("register " + std::to_string(id));
        return os.RegisterHotKey(w, id, mods, key);
    }
    bool UnregisterHotKey(WindowHandle w, int id) override {
        calls.push_back("unregister " + std::to_string(id));
        return !refuseUnregister && os.UnregisterHotKey(w, id);
    }
    WindowHandle CreateHiddenWindow(MessageSink* s) override {
        sink = s;
        return failWindow ? nullptr : os.CreateHiddenWindow(s);
    }
    std::intptr_t DefaultWindowProc(WindowHandle w, std::uint32_t m, std::uintptr_t wp,
                                    std::intptr_t lp) override {
        calls.push_back("default " + std::to_string(m) + " " + std::to_string(wp) + " " +
                        std::to_string(lp));
        os.DefaultWindowProc(w, m, wp, lp);
        return 0x5A5A;
    }
};

std::string AtomNameOf(HotKeyValue value) {
    return "HotKeyManagerHotKey" + std::to_string(value);
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetOs(&recorder); }
    // Whatever a test left registered, destruction leaves nothing behind.
    void TearDown() override {
        manager.reset();
        EXPECT_EQ(fake.LiveAtoms(), 0u);
        EXPECT_EQ(fake.Registrations(), 0u);
        EXPECT_EQ(fake.LiveWindows(), 0u);
        platform::SetOs(nullptr);
    }
    THotKeyManager& Make() {
        manager = std::make_unique<THotKeyManager>();
        return *manager;
    }
    // Only the registration traffic, without the default window procedure's share.
    std::vector<std::string> HotKeyCalls() const {
        std::vector<std::string> result;
        for (const std::string& call : recorder.calls) {
            if (call.rfind("default", 0) != 0) {
                result.push_back(call);
            }
        }
        return result;
    }

    FakePlatform fake;
    RecordingPlatform recorder{fake};
    std::unique_ptr<THotKeyManager> manager;
};

// --- The list, the registrations and the atoms --------------------------------------------

TEST_F(ManagerTest, AddRegistersUnderTheAtomOfTheValue) {
    THotKeyManager& m = Make();
    const HotKeyId id = m.AddHotKey(kCtrlAltF5);
    EXPECT_GE(id, 0xC000);
    EXPECT_EQ(id, fake.FindGlobalAtom("HotKeyManagerHotKey49268"));
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlAltF5)), 1);
    EXPECT_TRUE(fake.IsHeld(kModControl | kModAlt, 116));
    ASSERT_EQ(m.HotKeys().size(), 1u);
    EXPECT_EQ(m.HotKeys()[0].HotKey, kCtrlAltF5);
    EXPECT_EQ(m.HotKeys()[0].Id, id);
    EXPECT_TRUE(m.IsHotKeyRegistered(kCtrlAltF5));

    const HotKeyId other = m.AddHotKey(kCtrlA);
    EXPECT_NE(other, 0);
    EXPECT_NE(other, id);
}

TEST_F(ManagerTest, AddingAHeldValueAgainIsRefusedAndKeepsOneReference) {
    THotKeyManager& m = Make();
    ASSERT_NE(m.AddHotKey(kCtrlA), 0);
    EXPECT_EQ(m.AddHotKey(kCtrlA), 0);
    EXPECT_EQ(fake.LastError(), platform::kErrorHotkeyAlreadyRegistered)
        << "the refusal's code survives the atom's release";
    EXPECT_EQ(m.HotKeys().size(), 1u);
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlA)), 1);
}

TEST_F(ManagerTest, RefusalsLeaveNothingBehind) {
    THotKeyManager& m = Make();
    fake.HoldInOtherProcess(kModControl | kModAlt, 116);
    EXPECT_EQ(m.AddHotKey(kCtrlAltF5), 0);

    fake.RefuseNextRegistration(5);
    EXPECT_EQ(m.AddHotKey(kCtrlA), 0);
    EXPECT_EQ(fake.LastError(), 5u);

    fake.SetAtomCapacity(0);  // the atom table is full
    recorder.calls.clear();
    EXPECT_EQ(m.AddHotKey(kShiftWinB), 0);
    EXPECT_TRUE(HotKeyCalls().empty()) << "nothing may be registered under id 0";

    EXPECT_TRUE(m.HotKeys().empty());
    EXPECT_EQ(fake.LiveAtoms(), 0u);
    EXPECT_EQ(fake.Registrations(), 0u);
    fake.ReleaseInOtherProcess(kModControl | kModAlt, 116);
}

TEST_F(ManagerTest, WithoutItsWindowTheManagerRegistersNothing) {
    recorder.failWindow = true;
    THotKeyManager& m = Make();
    EXPECT_EQ(m.WindowHandle(), nullptr);
    EXPECT_EQ(m.AddHotKey(kCtrlA), 0);
    EXPECT_EQ(fake.LastError(), platform::kErrorInvalidWindowHandle);
    EXPECT_TRUE(HotKeyCalls().empty());
}

TEST_F(ManagerTest, RemoveFindsByValueOrIdOnce) {
    THotKeyManager& m = Make();
    const HotKeyId first = m.AddHotKey(kCtrlAltF5);
    const HotKeyId second = m.AddHotKey(kCtrlA);
    EXPECT_TRUE(m.RemoveHotKey(kCtrlAltF5));
    EXPECT_FALSE(m.RemoveHotKey(kCtrlAltF5));
    EXPECT_FALSE(m.RemoveHotKeyById(first));
    EXPECT_FALSE(fake.IsHeld(kModControl | kModAlt, 116));
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlAltF5)), 0);

    EXPECT_TRUE(m.RemoveHotKeyById(second));
    EXPECT_FALSE(m.RemoveHotKeyById(second));
    EXPECT_TRUE(m.HotKeys().empty());
    EXPECT_EQ(fake.Registrations(), 0u);
}

TEST_F(ManagerTest, ARefusedUnregistrationStillDropsTheEntryAndItsAtom) {
    THotKeyManager& m = Make();
    const HotKeyId id = m.AddHotKey(kCtrlA);
    recorder.refuseUnregister = true;
    EXPECT_FALSE(m.RemoveHotKey(kCtrlA));
    EXPECT_TRUE(m.HotKeys().empty());
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlA)), 0);
    recorder.refuseUnregister = false;
    fake.UnregisterHotKey(m.WindowHandle(), id);  // what the refusal left in the fake
}

TEST_F(ManagerTest, ChangeReplacesTheOldHotKeyFirst) {
    THotKeyManager& m = Make();
    const HotKeyId old = m.AddHotKey(kCtrlA);
    const HotKeyId unheld = static_cast<HotKeyId>(old + 1);
    EXPECT_EQ(m.ChangeHotKey(unheld, kCtrlAltF5), 0);
    EXPECT_TRUE(fake.IsHeld(kModControl, 'A'));

    recorder.calls.clear();
    const HotKeyId renewed = m.ChangeHotKey(old, kCtrlA);  // the same combination
    ASSERT_NE(renewed, 0);
    EXPECT_EQ(HotKeyCalls(), (std::vector<std::string>{"unregister " + std::to_string(old),
                                                        "register " + std::to_string(renewed)}));

    const HotKeyId changed = m.ChangeHotKey(renewed, kCtrlAltF5);
    ASSERT_NE(changed, 0);
    EXPECT_FALSE(fake.IsHeld(kModControl, 'A'));
    ASSERT_EQ(m.HotKeys().size(), 1u);
    EXPECT_EQ(m.HotKeys()[0].HotKey, kCtrlAltF5);
}

TEST_F(ManagerTest, ChangeToACombinationHeldElsewhereLosesTheOldOne) {
    THotKeyManager& m = Make();
    const HotKeyId old = m.AddHotKey(kCtrlA);
    fake.HoldInOtherProcess(kModControl | kModAlt, 116);
    EXPECT_EQ(m.ChangeHotKey(old, kCtrlAltF5), 0);
    EXPECT_EQ(fake.LastError(), platform::kErrorHotkeyAlreadyRegistered);
    EXPECT_FALSE(fake.IsHeld(kModControl, 'A'));
    EXPECT_TRUE(m.HotKeys().empty());
    EXPECT_EQ(fake.LiveAtoms(), 0u);
    fake.ReleaseInOtherProcess(kModControl | kModAlt, 116);
}

TEST_F(ManagerTest, ClearUnregistersTheMostRecentFirst) {
    THotKeyManager& m = Make();
    m.ClearHotKeys();
    EXPECT_TRUE(HotKeyCalls().empty());

    const HotKeyId a = m.AddHotKey(kCtrlA);
    const HotKeyId b = m.AddHotKey(kCtrlAltF5);
    const HotKeyId c = m.AddHotKey(kShiftWinB);
    recorder.calls.clear();
    m.ClearHotKeys();
    EXPECT_EQ(HotKeyCalls(), (std::vector<std::string>{"unregister " + std::to_string(c),
                                                        "unregister " + std::to_string(b),
                                                        "unregister " + std::to_string(a)}));
    EXPECT_TRUE(m.HotKeys().empty());
    EXPECT_EQ(fake.LiveAtoms(), 0u);
}

TEST_F(ManagerTest, CanUseAsksTheSystemAndKeepsWhatIsHeld) {
    THotKeyManager& m = Make();
    const HotKeyId held = m.AddHotKey(kCtrlA);
    EXPECT_TRUE(m.CanUseHotKey(kCtrlA));
    EXPECT_TRUE(fake.IsHeld(kModControl, 'A'));
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlA)), 1);
    EXPECT_FALSE(ProbeHotKey(kCtrlA)) << "the system refuses what anybody holds, we included";
    EXPECT_TRUE(m.RemoveHotKeyById(held)) << "still registered under the same id";
    m.AddHotKey(kCtrlA);

    EXPECT_TRUE(m.CanUseHotKey(kCtrlAltF5));
    EXPECT_FALSE(fake.IsHeld(kModControl | kModAlt, 116));
    EXPECT_EQ(fake.AtomReferences(AtomNameOf(kCtrlAltF5)), 0);

    fake.HoldInOtherProcess(kModShift | kModWin, 'B');
    EXPECT_FALSE(m.CanUseHotKey(kShiftWinB));
    EXPECT_EQ(fake.Registrations(), 1u);
    EXPECT_EQ(m.HotKeys().size(), 1u);
    fake.ReleaseInOtherProcess(kModShift | kModWin, 'B');
}

// --- The window procedure ----------------------------------------------------------------

struct Press {
    HotKeyValue hotKey;
    HotKeyId index;
};

TEST_F(ManagerTest, APressOfAHeldHotKeyRaisesTheEvent) {
    THotKeyManager& m = Make();
    std::vector<Press> presses;
    m.OnHotKeyPressed = [&presses](HotKeyValue v, HotKeyId i) { presses.push_back({v, i}); };
    const HotKeyId f5 = m.AddHotKey(kCtrlAltF5);
    const HotKeyId b = m.AddHotKey(kShiftWinB);

    ASSERT_TRUE(fake.PressKey(kModControl | kModAlt, 116));
    ASSERT_TRUE(fake.PressKey(kModShift | kModWin, 'B'));
    fake.PumpMessages();
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[0].hotKey, kCtrlAltF5);
    EXPECT_EQ(presses[0].index, f5);
    EXPECT_EQ(presses[1].hotKey, kShiftWinB);
    EXPECT_EQ(presses[1].index, b);
    EXPECT_EQ(recorder.calls.back().rfind("default 786 ", 0), 0u) << "then the default procedure";
}

TEST_F(ManagerTest, AMessageForAnUnlistedValueRaisesNothing) {
    THotKeyManager& m = Make();
    int raised = 0;
    m.OnHotKeyPressed = [&raised](HotKeyValue, HotKeyId) { ++raised; };
    const HotKeyId id = m.AddHotKey(kCtrlA);
    ASSERT_TRUE(fake.PressKey(kModControl, 'A'));
    m.RemoveHotKeyById(id);  // delivered after the entry left the list
    recorder.calls.clear();
    EXPECT_EQ(fake.PumpMessages(), 1);
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(recorder.calls.size(), 1u);
}

TEST_F(ManagerTest, EveryMessageEndsInTheDefaultProcedure) {
    THotKeyManager& m = Make();
    m.AddHotKey(kCtrlA);
    ASSERT_NE(recorder.sink, nullptr);
    recorder.calls.clear();
    // No handler: a press only reaches the default procedure.
    EXPECT_EQ(recorder.sink->HandleMessage(m.WindowHandle(), platform::kWmHotKey, 1,
                                           kModControl | ('A' << 16)),
              0x5A5A);
    EXPECT_EQ(recorder.sink->HandleMessage(m.WindowHandle(), 0x0400, 7, -3), 0x5A5A);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"default 786 1 " + std::to_string(kModControl | ('A' << 16)),
                                        "default 1024 7 -3"}));

    // A handler that fails does not unwind through the dispatch.
    m.OnHotKeyPressed = [](HotKeyValue, HotKeyId) { throw std::runtime_error("handler"); };
    ASSERT_TRUE(fake.PressKey(kModControl, 'A'));
    EXPECT_NO_THROW(fake.PumpMessages());
    EXPECT_EQ(recorder.calls.size(), 3u);
}

}  // namespace
}  // namespace tarvik::hotkeys
