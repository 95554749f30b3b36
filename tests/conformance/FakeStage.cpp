// The in-memory platform on the stage: presses and the other process are staged
// directly, and the message loop is one pump.
#include "ConformanceStage.h"
#include "platform/FakePlatform.h"

namespace tarvik::conformance {
namespace {

using platform::FakePlatform;

class FakeHold final : public OtherProcessHold {
public:
    FakeHold(FakePlatform& fake, unsigned modifiers, unsigned key)
        : fake_(fake), modifiers_(modifiers), key_(key) {
        fake_.HoldInOtherProcess(modifiers_, key_);
    }
    ~FakeHold() override { fake_.ReleaseInOtherProcess(modifiers_, key_); }

private:
    FakePlatform& fake_;
    unsigned modifiers_;
    unsigned key_;
};

class FakeStage final : public Stage {
public:
    explicit FakeStage(bool russian) : codePage_(russian ? 1251 : 1252) {
        if (russian) {
            fake_.SetLayouts({FakePlatform::Russian()}, FakePlatform::Russian());
            fake_.SetAnsiCodePage(1251);
        }
    }

    platform::Platform& Os() override { return fake_; }
    platform::Atom FindGlobalAtom(const std::string& name) override {
        return fake_.FindGlobalAtom(name);
    }
    unsigned AnsiCodePage() override { return codePage_; }
    bool IsWine() override { return false; }
    void Press(unsigned modifiers, unsigned key) override { fake_.PressKey(modifiers, key); }
    bool PumpUntil(const std::function<bool()>& done) override {
        fake_.PumpMessages();
        return done();
    }
    std::unique_ptr<OtherProcessHold> HoldElsewhere(unsigned modifiers, unsigned key,
                                                    std::string&) override {
        return std::make_unique<FakeHold>(fake_, modifiers, key);
    }
    std::string UniquePrefix() override { return "TarvikConformance."; }
    LoadedLibrary HelpLibraryBesidePlantedCopy() override {
        fake_.AddFile("C:\\Program Files\\Lumora\\hhctrl.ocx");
        fake_.HtmlHelp(nullptr, std::wstring(), platform::kHhCloseAll, 0);
        return {fake_.HelpLibraryLoaded(), "C:\\Windows\\system32\\hhctrl.ocx"};
    }
    void OnOtherThread(const std::function<void()>& work) override {
        fake_.SetCallingThread(2);
        work();
        fake_.SetCallingThread(FakePlatform::kMainThread);
    }

private:
    FakePlatform fake_;
    unsigned codePage_;
};

}  // namespace

std::unique_ptr<Stage> MakeFakeStage(bool russian) {
    return std::make_unique<FakeStage>(russian);
}

}  // namespace tarvik::conformance
