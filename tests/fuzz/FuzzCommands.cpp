// Sequences of host calls against the plug-in linked with the fake: lmExecAction with
// any number from -2 to 10, null arrays and slots, pooled and random texts; presses,
// some of whose subroutines run further commands; a host whose subroutine list is any
// text; refused registrations, a full atom table, failing allocations, other processes
// taking combinations, and unloads from the loading thread or another one. Afterwards
// every counter of the fake is back at its start.
//
// The library stays loaded from one input to the next of the same set-up: loading it and
// connecting the host cost more than most inputs. Between inputs it is brought back to
// how a fresh load leaves it, through its own commands (TarvikClear, and a tvOnKeyPress
// with empty texts), and that is checked: no hotkey in its list, no key-press settings,
// and every counter of the fake as it was right after the load. One input in thirty-two
// unloads it at the end instead, and every unload checks that nothing stays.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Host.h"
#include "hotkeys/UHotkeysUtilities.h"
#include "PluginApi.h"

namespace tarvik::fuzz {
namespace {

using platform::FakePlatform;

const char* const kTexts[] = {
    "Ctrl+Alt+F5", "alt+ctrl+f5", "Ctrl+Shift+A", "Win+F12", "Ctrl+Alt+Shift+F9", "F5",
    "Num +", "Ctrl+Num +", " ", "", "abc", "49152", "$C000", "0xC001", "-1", "Ctrl+",
    "+", "Shift", "HK", "ID", "KEY", "Sub", " Sub ", "LastError", "Ctrl+'A+B'", "\"",
};

struct Combination {
    unsigned modifiers;
    unsigned key;
};
const Combination kCombinations[] = {
    {3, 116}, {6, 'A'}, {8, 123}, {7, 120}, {0, 116}, {2, 107}, {0, 0},
};

// The loaded library and the fake it was loaded into.
struct Loaded {
    unsigned setUp = 0;
    std::unique_ptr<host::PluginLibrary> library;
    FakeCounts start;  // the fake right after the load: nothing registered
};

// Never destroyed: at exit the fakes are gone, and the process takes the rest.
Loaded& Kept() {
    static Loaded& loaded = *new Loaded;
    return loaded;
}

void Load(KeptFakeScope& scope, unsigned setUp) {
    Loaded& kept = Kept();
    std::string error;
    kept.library = host::PluginLibrary::Load("", error);
    kept.setUp = setUp;
    // The host's callbacks reach whichever host is current, so one connection serves
    // every later input's host.
    host::Host(kept.library->Api()).Connect();
    scope.LendIndexes();
    scope.Fake().ResetStaging();
    kept.start = CountsOf(scope.Fake());
}

void Unload(KeptFakeScope& scope, std::uint32_t thread) {
    FakePlatform& fake = scope.Fake();
    scope.TakeIndexesBack();
    fake.SetCallingThread(thread);
    Kept().library.reset();
    fake.SetCallingThread(FakePlatform::kMainThread);
    Require(fake.LiveAtoms() == 0, "an unload left an atom reference");
    Require(fake.SinkWindows() == 0, "an unload left a window that reaches the library");
    fake.PumpMessages();
    Require(fake.Registrations() == 0, "a combination stays held after the loading thread pumped");
    Require(fake.LiveWindows() == 0, "a window stays after the loading thread pumped");
}

// A host of one input, on the loaded library: the subroutine "Sub" is listed.
std::unique_ptr<host::Host> NewHost() {
    auto plugin = std::make_unique<host::Host>(Kept().library->Api());
    plugin->Subroutines = {"Sub"};
    return plugin;
}

class Session {
public:
    Session(FuzzedDataProvider& input, KeptFakeScope& scope)
        : input_(input), scope_(scope), fake_(scope.Fake()), plugin_(NewHost()) {}

    void Run() {
        while (input_.remaining_bytes() > 0) {
            Step();
        }
        for (const Combination& c : held_) {
            fake_.ReleaseInOtherProcess(c.modifiers, c.key);
        }
    }

    // Brings the library back to how a fresh load leaves it, through its commands.
    void Reset() {
        fake_.ResetStaging();
        plugin_->RunSubroutine = nullptr;
        Require(plugin_->Exec(5, {}), "TarvikClear answered false");
        Require(plugin_->Exec(8, {"", "", ""}), "tvOnKeyPress answered false");
        hotkeys::THotkeyUtilities* utilities = hotkeys::HotkeyUtilities;
        Require(utilities != nullptr && utilities->Manager().HotKeys().empty(),
                "TarvikClear left a hotkey in the list");
        const hotkeys::TOnHotkeyEvent& keyPress = utilities->KeyPress;
        Require(keyPress.Subroutine.empty() && keyPress.HotkeyIdVar.empty() &&
                    keyPress.HotkeyShortcutVar.empty(),
                "tvOnKeyPress with empty texts left a setting");
    }

private:
    void Reload(std::uint32_t thread) {
        plugin_.reset();
        Unload(scope_, thread);
        Load(scope_, Kept().setUp);
        plugin_ = NewHost();
    }

    std::string Text() {
        switch (input_.ConsumeIntegralInRange(0, 3)) {
            case 0: return input_.ConsumeRandomLengthString(24);
            case 1: return plugin_->Variable(input_.PickValueInArray(kTexts)).value_or("");
            default: return input_.PickValueInArray(kTexts);
        }
    }

    std::int32_t Exec(std::int32_t number) {
        const int shape = input_.ConsumeIntegralInRange(0, 3);
        std::vector<std::string> texts{Text(), Text(), Text()};
        char* slots[3] = {&texts[0][0], &texts[1][0], &texts[2][0]};
        if (shape == 1) {
            slots[0] = slots[1] = slots[2] = nullptr;
        } else if (shape == 2) {
            slots[input_.ConsumeIntegralInRange(0, 2)] = nullptr;
        }
        const std::size_t eventsBefore = plugin_->Events.size();
        const std::int32_t result = plugin_->ExecRaw(number, shape == 3 ? nullptr : slots);
        Require(result == 0 || result == 1, "a Boolean that is neither 0 nor 1");
        if (number < 1 || number > 8) {
            Require(result == 0 && plugin_->Events.size() == eventsBefore,
                    "a number outside 1 to 8 did something");
        } else if (number > 2) {
            Require(result == 1, [&] { return "command " + std::to_string(number) + " answered false"; });
        }
        return result;
    }

    void Step() {
        // What the host recorded of the last step is not read again: letting it go keeps
        // an input's memory small however many presses it makes.
        plugin_->Events.clear();
        plugin_->Replies.clear();
        switch (input_.ConsumeIntegralInRange(0, 12)) {
            case 0: case 1: case 2: case 3:
                Exec(input_.ConsumeIntegralInRange(-2, 10));
                break;
            case 4: {
                const Combination c = input_.PickValueInArray(kCombinations);
                fake_.PressKey(c.modifiers, c.key);
                fake_.PumpMessages();
                break;
            }
            case 5:
                plugin_->Subroutines = {input_.ConsumeRandomLengthString(32)};
                if (input_.ConsumeBool()) {
                    plugin_->Subroutines.push_back("Sub");
                }
                break;
            case 6: {
                // The subroutine of a press runs one more command.
                const std::int32_t number = input_.PickValueInArray({2, 3, 4, 5, 8});
                const std::vector<std::string> params{Text(), Text(), Text()};
                host::Host* plugin = plugin_.get();
                plugin_->RunSubroutine = [plugin, number, params](const std::string&) {
                    plugin->Exec(number, params);
                };
                break;
            }
            case 7:
                fake_.RefuseNextRegistration(input_.PickValueInArray({5u, 8u, 1409u, 4321u}));
                break;
            case 8: {
                const Combination c = input_.PickValueInArray(kCombinations);
                if (input_.ConsumeBool()) {
                    fake_.HoldInOtherProcess(c.modifiers, c.key);
                    held_.push_back(c);
                } else if (!held_.empty()) {
                    fake_.ReleaseInOtherProcess(held_.back().modifiers, held_.back().key);
                    held_.pop_back();
                }
                break;
            }
            case 9:
                fake_.SetAtomCapacity(input_.ConsumeBool()
                                          ? fake_.LiveAtoms() + input_.ConsumeIntegralInRange(0, 2)
                                          : 0x4000);
                break;
            case 10:
                fake_.FailAllocations(input_.ConsumeIntegralInRange(0, 2));
                break;
            case 11:
                // Unloaded on the loading thread or another one, then loaded again: one
                // time in sixty-four, and once in an input at most, as a load costs more
                // than dozens of other steps.
                if (input_.ConsumeIntegralInRange(0, 63) == 0 && !reloaded_) {
                    reloaded_ = true;
                    fake_.FailAllocations(0);
                    Reload(input_.ConsumeBool() ? FakePlatform::kMainThread : 2);
                }
                break;
            default:
                plugin_->Api().Message();
                break;
        }
    }

    FuzzedDataProvider& input_;
    KeptFakeScope& scope_;
    FakePlatform& fake_;
    bool reloaded_ = false;
    std::unique_ptr<host::Host> plugin_;
    std::vector<Combination> held_;
};

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    FuzzedDataProvider input(data, size);
    // Five inputs in six run under the US-English layout and code page 1252, the rest
    // under each of the six set-ups alike: a change of set-up between two inputs costs an
    // unload and a load, and the layouts' own texts are the codec target's ground.
    const auto selector = input.ConsumeIntegral<std::uint8_t>();
    const unsigned setUp = selector < 208 ? 0u : selector % 6u;
    const bool unloadAtEnd = selector >= 248;
    fuzz::Loaded& kept = fuzz::Kept();
    if (kept.library && kept.setUp != setUp) {
        // Another set-up's fake holds the library: it is unloaded there first.
        fuzz::KeptFakeScope earlier(kept.setUp);
        fuzz::Unload(earlier, platform::FakePlatform::kMainThread);
        earlier.Finish();
    }
    fuzz::KeptFakeScope scope(setUp);
    if (!kept.library) {
        fuzz::Load(scope, setUp);
    }
    {
        fuzz::Session session(input, scope);
        session.Run();
        if (!unloadAtEnd) {
            session.Reset();
        }
    }
    if (unloadAtEnd) {
        fuzz::Unload(scope, platform::FakePlatform::kMainThread);
    }
    for (const fuzz::Combination& c : fuzz::kCombinations) {
        fuzz::Require(!scope.Fake().IsHeld(c.modifiers, c.key), "a combination stays held");
    }
    // No registration, atom, window, global block or loaded layout is left behind, and
    // GlobalFree was never handed an address that is no block: against the fake as it
    // was made, or, with the library still loaded, as the load left it.
    if (unloadAtEnd) {
        scope.Finish();
    } else {
        scope.FinishAt(kept.start);
    }
    return 0;
}
