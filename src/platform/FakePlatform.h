// An in-memory model of the Windows services behind the seam, faithful to what Windows
// itself does (not Wine): atoms from 0xC000 with reference counts and case-insensitive
// names, hotkeys refused with error 1409 while anybody holds the combination, the key
// names of the US-English, German and Russian layouts, global blocks, a message queue
// for hidden windows, and counters that show leaks. Single-threaded, like the library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tarvik::platform {

class FakePlatform final : public Platform {
public:
    // Keyboard layout handles as Windows gives them for the three modelled layouts.
    static LayoutHandle UsEnglish();  // 0x04090409, "00000409"
    static LayoutHandle German();     // 0x04070407, "00000407"
    static LayoutHandle Russian();    // 0x04190419, "00000419"

    struct ShellCall {
        WindowHandle owner;
        std::string file;
        std::string parameters;
        int show;
    };

    // Starts like a US-English Windows: one layout (US-English, active), code page 1252,
    // nothing allocated, no atoms, no hotkeys, no windows.
    FakePlatform();
    ~FakePlatform() override;

    // --- Platform ------------------------------------------------------------------------
    std::uint32_t LastError() override;
    void SetLastError(std::uint32_t code) override;
    std::string SystemMessage(std::uint32_t code) override;
    void* GlobalAlloc(std::size_t bytes) override;
    void* GlobalFree(void* block) override;
    bool EqualIgnoreCase(const std::string& a, const std::string& b) override;
    // The code page's upper-case bytes: equal exactly when EqualIgnoreCase says equal.
    bool ComparisonKey(const std::string& text, std::string& key) override;
    // 0x0419 under code page 1251, else 0x0409.
    std::uint32_t UserLocale() override;
    unsigned AnsiCodePage() override;  // the one SetAnsiCodePage staged
    std::string LoadText(unsigned id) override;
    WindowHandle ActiveWindow() override;
    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override;
    Atom AddGlobalAtom(const std::string& name) override;
    Atom DeleteGlobalAtom(Atom atom) override;
    Atom FindGlobalAtom(const std::string& name) override;
    bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) override;
    bool UnregisterHotKey(WindowHandle window, int id) override;
    WindowHandle CreateHiddenWindow(MessageSink* sink) override;
    bool DestroyHiddenWindow(WindowHandle window) override;
    std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) override;
    unsigned MapVirtualKeyCode(unsigned code, unsigned mapType) override;
    unsigned MapVirtualKeyCodeEx(unsigned code, unsigned mapType, LayoutHandle layout) override;
    std::string KeyNameText(std::int32_t lParam) override;
    LayoutHandle ThreadLayout() override;
    std::vector<LayoutHandle> LayoutList(int maxCount) override;
    LayoutHandle LoadLayout(const std::string& id, unsigned flags) override;
    LayoutHandle ActivateLayout(LayoutHandle layout, unsigned flags) override;
    bool UnloadLayout(LayoutHandle layout) override;

    // --- Staging ---------------------------------------------------------------------------
    // The process's layouts, in list order, and the thread's active one (one of them).
    void SetLayouts(const std::vector<LayoutHandle>& layouts, LayoutHandle active);
    // 1252 (Western) or 1251 (Cyrillic): the code page LoadText converts into, and the
    // one whose letters EqualIgnoreCase folds.
    void SetAnsiCodePage(unsigned codePage);
    // Another process takes, or lets go of, a combination.
    void HoldInOtherProcess(unsigned modifiers, unsigned key);
    void ReleaseInOtherProcess(unsigned modifiers, unsigned key);
    // The atom table is full once this many string atoms exist (Windows: 16384).
    void SetAtomCapacity(std::size_t capacity);
    // The next `count` GlobalAlloc calls fail with error 8.
    void FailAllocations(int count);
    // The next RegisterHotKey call fails with this error code, whatever it asks for.
    void RefuseNextRegistration(std::uint32_t error);
    void SetActiveWindow(WindowHandle window);
    void SetShellResult(std::intptr_t result);

    // --- Events ---------------------------------------------------------------------------
    // The user presses a combination. When a window of this process holds it, WM_HOTKEY
    // (wParam the id, lParam modifiers | key << 16) is queued for that window; a
    // registration without a window queues nothing that reaches a window procedure.
    // Returns whether a message was queued.
    bool PressKey(unsigned modifiers, unsigned key);
    // Queues any message for a window, as PostMessage would.
    void PostMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam);
    // Dispatches the queued messages to their windows' sinks, in order (messages for
    // windows that no longer exist are dropped). Returns how many were dispatched.
    int PumpMessages();

    // --- Counters ---------------------------------------------------------------------------
    std::size_t LiveBlocks() const;                    // GlobalAlloc blocks not yet freed
    std::size_t LiveAtoms() const;                     // string atoms with references
    int AtomReferences(const std::string& name) const; // 0 when absent
    std::size_t Registrations() const;                 // hotkeys this process holds
    bool IsHeld(unsigned modifiers, unsigned key) const;  // by anybody
    std::size_t LiveWindows() const;
    bool WindowClassRegistered() const;
    const std::vector<ShellCall>& ShellCalls() const;
    std::size_t LayoutLoads() const;    // LoadLayout calls that added a layout
    std::size_t LayoutUnloads() const;  // successful UnloadLayout calls

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tarvik::platform
