// Sequences of host calls against the plug-in linked with the fake: lmExecAction with
// any number from -2 to 10, null arrays and slots, pooled and random texts; presses,
// some of whose subroutines run further commands; a host whose subroutine list is any
// text; refused registrations, a full atom table, failing allocations, other processes
// taking combinations, and unloads from the loading thread or another one. Afterwards
// every counter of the fake is back at its start.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Host.h"
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

class Session {
public:
    Session(FuzzedDataProvider& input, KeptFakeScope& scope)
        : input_(input), scope_(scope), fake_(scope.Fake()) {}

    void Run() {
        Load();
        while (input_.remaining_bytes() > 0) {
            Step();
        }
        Unload(FakePlatform::kMainThread);
        for (const Combination& c : held_) {
            fake_.ReleaseInOtherProcess(c.modifiers, c.key);
        }
    }

private:
    void Load() {
        std::string error;
        library_ = host::PluginLibrary::Load("", error);
        plugin_ = std::make_unique<host::Host>(library_->Api());
        plugin_->Connect();
        plugin_->Subroutines = {"Sub"};
        scope_.LendIndexes();
    }

    void Unload(std::uint32_t thread) {
        scope_.TakeIndexesBack();
        plugin_.reset();
        fake_.SetCallingThread(thread);
        library_.reset();
        fake_.SetCallingThread(FakePlatform::kMainThread);
        Require(fake_.LiveAtoms() == 0, "an unload left an atom reference");
        Require(fake_.SinkWindows() == 0, "an unload left a window that reaches the library");
        fake_.PumpMessages();
        Require(fake_.Registrations() == 0, "a combination stays held after the loading thread pumped");
        Require(fake_.LiveWindows() == 0, "a window stays after the loading thread pumped");
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
            Require(result == 1, "command " + std::to_string(number) + " answered false");
        }
        return result;
    }

    void Step() {
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
                // Unloaded on the loading thread or another one, then loaded again.
                fake_.FailAllocations(0);
                Unload(input_.ConsumeBool() ? FakePlatform::kMainThread : 2);
                Load();
                break;
            default:
                plugin_->Api().Message();
                break;
        }
    }

    FuzzedDataProvider& input_;
    KeptFakeScope& scope_;
    FakePlatform& fake_;
    std::unique_ptr<host::PluginLibrary> library_;
    std::unique_ptr<host::Host> plugin_;
    std::vector<Combination> held_;
};

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    FuzzedDataProvider input(data, size);
    fuzz::KeptFakeScope scope(input.ConsumeIntegral<std::uint8_t>());
    {
        fuzz::Session session(input, scope);
        session.Run();
    }
    for (const fuzz::Combination& c : fuzz::kCombinations) {
        fuzz::Require(!scope.Fake().IsHeld(c.modifiers, c.key), "a combination stays held");
    }
    // No registration, atom, window, global block or loaded layout is left behind, and
    // GlobalFree was never handed an address that is no block.
    scope.Finish();
    return 0;
}
