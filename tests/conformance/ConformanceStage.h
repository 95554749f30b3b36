// What a conformance case needs beyond the Platform interface: a user at the keyboard,
// a message loop, and another application. One stage per platform under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hotkeys/UHotKeys.h"
#include "platform/Platform.h"

namespace tarvik::conformance {

// Another process holds a combination for as long as this object lives.
class OtherProcessHold {
public:
    virtual ~OtherProcessHold() = default;
};

class Stage {
public:
    virtual ~Stage() = default;

    virtual platform::Platform& Os() = 0;
    // GlobalFindAtomA on the same atom table (the library never looks names up).
    virtual platform::Atom FindGlobalAtom(const std::string& name) = 0;
    // The ANSI code page: 1252 or 1251 in the setups the suite runs in.
    virtual unsigned AnsiCodePage() = 0;
    // Whether the platform underneath is Wine, for its known deviations from Windows.
    virtual bool IsWine() = 0;
    // The user presses the combination and lets go of it again.
    virtual void Press(unsigned modifiers, unsigned key) = 0;
    // Dispatches the thread's messages until `done` holds or about two seconds pass;
    // returns whether `done` held.
    virtual bool PumpUntil(const std::function<bool()>& done) = 0;
    // Another process takes the combination; null, with the reason in `why`, when it
    // could not be staged.
    virtual std::unique_ptr<OtherProcessHold> HoldElsewhere(unsigned modifiers, unsigned key,
                                                            std::string& why) = 0;
    // A text no other process puts into atom names.
    virtual std::string UniquePrefix() = 0;
    // Runs `work` on another thread of this process and returns when it is done.
    virtual void OnOtherThread(const std::function<void()>& work) = 0;
    // A program whose own folder holds a planted hhctrl.ocx asks the platform for help
    // once: the full path of the hhctrl.ocx it then holds, and the system folder's.
    struct LoadedLibrary {
        std::string loaded;
        std::string systemCopy;
    };
    virtual LoadedLibrary HelpLibraryBesidePlantedCopy() = 0;
};

struct StageKind {
    std::string name;
    std::function<std::unique_ptr<Stage>()> make;
};

// Every platform this build can test: the fake staged as a US-English Windows and as a
// Russian one, and in Windows builds the real platform.
const std::vector<StageKind>& StageKinds();

std::unique_ptr<Stage> MakeFakeStage(bool russian);
#ifdef TARVIK_REAL_PLATFORM
std::unique_ptr<Stage> MakeWin32Stage();
#endif

// The fixture of every conformance case; one suite per area.
class PlatformConformance : public ::testing::TestWithParam<StageKind> {
protected:
    void SetUp() override { stage_ = GetParam().make(); }

    Stage& stage() { return *stage_; }
    platform::Platform& os() { return stage_->Os(); }

private:
    std::unique_ptr<Stage> stage_;
};

class BaseServicesConformance : public PlatformConformance {};
class AtomsConformance : public PlatformConformance {};
class HotKeysConformance : public PlatformConformance {};
class HiddenWindowConformance : public PlatformConformance {};
class KeyboardConformance : public PlatformConformance {};

// A key's name as the library asks for it: its scan code under the active layout, with
// the extended bit for the keys that share scan codes with others (the library's list).
inline std::string KeyName(platform::Platform& os, unsigned code) {
    const unsigned scan = os.MapVirtualKeyCode(code, platform::kMapVkToVsc);
    if (scan == 0) {
        return {};
    }
    const bool extended = hotkeys::IsExtendedKey(code);
    return os.KeyNameText(static_cast<std::int32_t>(scan << 16 | (extended ? 1u << 24 : 0)));
}

// A hidden window that records what reaches it, destroyed with the object.
class RecordingWindow final : public platform::MessageSink {
public:
    struct Received {
        platform::WindowHandle window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    explicit RecordingWindow(platform::Platform& os) : os_(os) {
        handle_ = os_.CreateHiddenWindow(this);
    }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;
    ~RecordingWindow() {
        if (handle_ != nullptr) {
            os_.DestroyHiddenWindow(handle_);
        }
    }

    platform::WindowHandle handle() const { return handle_; }
    const std::vector<Received>& received() const { return received_; }
    // Destroys the window now; the handle stays readable for cases about stale handles.
    bool Destroy() {
        const bool destroyed = os_.DestroyHiddenWindow(handle_);
        stale_ = handle_;
        handle_ = nullptr;
        return destroyed;
    }
    platform::WindowHandle stale() const { return stale_; }

    std::intptr_t HandleMessage(platform::WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam) noexcept override {
        if (message == platform::kWmHotKey) {
            received_.push_back({window, message, wParam, lParam});
        }
        return os_.DefaultWindowProc(window, message, wParam, lParam);
    }

private:
    platform::Platform& os_;
    platform::WindowHandle handle_ = nullptr;
    platform::WindowHandle stale_ = nullptr;
    std::vector<Received> received_;
};

// One reference to a global atom, deleted with the object.
class AtomReference {
public:
    AtomReference(platform::Platform& os, const std::string& name)
        : os_(os), atom_(os.AddGlobalAtom(name)) {}
    AtomReference(const AtomReference&) = delete;
    AtomReference& operator=(const AtomReference&) = delete;
    ~AtomReference() {
        if (atom_ != 0) {
            os_.DeleteGlobalAtom(atom_);
        }
    }

    platform::Atom atom() const { return atom_; }
    // Deletes the reference now; the system's answer.
    platform::Atom Release() {
        const platform::Atom result = os_.DeleteGlobalAtom(atom_);
        atom_ = 0;
        return result;
    }

private:
    platform::Platform& os_;
    platform::Atom atom_;
};

// A hotkey registration, unregistered with the object if it was granted.
class HotKeyRegistration {
public:
    HotKeyRegistration(platform::Platform& os, platform::WindowHandle window, int id,
                       unsigned modifiers, unsigned key)
        : os_(os), window_(window), id_(id),
          granted_(os.RegisterHotKey(window, id, modifiers, key)),
          error_(granted_ ? 0 : os.LastError()) {}
    HotKeyRegistration(const HotKeyRegistration&) = delete;
    HotKeyRegistration& operator=(const HotKeyRegistration&) = delete;
    ~HotKeyRegistration() {
        if (granted_) {
            os_.UnregisterHotKey(window_, id_);
        }
    }

    bool granted() const { return granted_; }
    std::uint32_t error() const { return error_; }
    // Unregisters now; the system's answer.
    bool Release() {
        granted_ = false;
        return os_.UnregisterHotKey(window_, id_);
    }

private:
    platform::Platform& os_;
    platform::WindowHandle window_;
    int id_;
    bool granted_;
    std::uint32_t error_;
};

}  // namespace tarvik::conformance
