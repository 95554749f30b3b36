// An in-memory model of the Windows services behind the seam, faithful to what Windows
// itself does (not Wine): atoms from 0xC000 with reference counts and case-insensitive
// names, hotkeys refused with error 1409 while anybody holds the combination, the key
// names of the US-English, German and Russian layouts, global blocks, a message queue
// for hidden windows, and counters that show leaks. One thread calls at a time, but
// which one it is may be staged.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tarvik::platform {

// Where a registry key is staged: the library reads the current user's keys only, and a
// key of the machine's is there to show that it does not look there.
enum class RegistryRoot { CurrentUser, LocalMachine };

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
    bool IsGlobalFixedBlock(const void* block) override;
    bool EqualIgnoreCase(const std::string& a, const std::string& b) override;
    // The code page's upper-case bytes: equal exactly when EqualIgnoreCase says equal.
    bool ComparisonKey(const std::string& text, std::string& key) override;
    // 0x0419 under code page 1251, else 0x0409.
    std::uint32_t UserLocale() override;
    unsigned AnsiCodePage() override;  // the one SetAnsiCodePage staged
    WindowHandle ActiveWindow() override;
    bool HighContrast() override;  // what SetHighContrast staged: off at first
    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override;
    Atom AddGlobalAtom(const std::string& name) override;
    Atom DeleteGlobalAtom(Atom atom) override;
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
    std::wstring AnsiToWide(const std::string& text) override;
    std::string WideToAnsi(const std::wstring& text) override;
    std::wstring LoadWideText(unsigned id) override;
    std::vector<std::uint8_t> LoadRawResource(const std::string& name) override;
    UniqueRegistryKey OpenRegistryKey(const std::wstring& path,
                                      std::uint32_t access, std::uint32_t& error) override;
    void CloseRegistryKey(RegistryKey key) override;
    bool QueryRegistryValue(RegistryKey key, const std::wstring& name,
                            RegistryValue& value) override;
    // A path holding "?" or "*" (past a "\\?\" prefix) names nothing: error 123.
    std::uint32_t FileAttributes(const std::wstring& path) override;
    WindowHandle HtmlHelp(WindowHandle caller, const std::wstring& file, unsigned command,
                          std::uintptr_t data) override;
    bool ChooseFiles(WindowHandle owner, bool save, FileChoice& choice) override;
    bool BrowseForFolder(WindowHandle owner, const std::wstring& caption,
                         std::wstring& path) override;

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
    // The user's accessibility setting: high contrast on or off. Like the code page it is
    // the machine's, and ResetStaging leaves it.
    void SetHighContrast(bool on);
    // The thread that makes the following calls (kMainThread at the start). Windows
    // belong to the thread that created them: other threads can neither register
    // hotkeys on them nor destroy them (error 1408), and PumpMessages dispatches the
    // calling thread's messages only.
    static constexpr std::uint32_t kMainThread = 1;
    void SetCallingThread(std::uint32_t thread);
    void SetShellResult(std::intptr_t result);
    // Takes back what was staged for the calls to come, as a new fake starts: no failing
    // allocations, no refusal, the full atom table, the main thread calling, no active
    // window, the shell's usual result, last error 0. What the code under test holds
    // (atoms, hotkeys, windows, blocks, layouts) stays: that is for the counters to show.
    void ResetStaging();
    // The bytes LoadRawResource gives for a name; nothing is staged at first.
    void SetRawResource(const std::string& name, std::vector<std::uint8_t> bytes);

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
    // GlobalFindAtomA: the atom of a name, 0 when absent (the library itself never asks).
    Atom FindGlobalAtom(const std::string& name);
    std::size_t LiveBlocks() const;                    // GlobalAlloc blocks not yet freed
    std::size_t LiveAtoms() const;                     // string atoms with references
    int AtomReferences(const std::string& name) const; // 0 when absent
    std::size_t Registrations() const;                 // hotkeys this process holds
    bool IsHeld(unsigned modifiers, unsigned key) const;  // by anybody
    std::size_t LiveWindows() const;
    // Live windows whose messages still reach the library's code (a sink).
    std::size_t SinkWindows() const;
    // GlobalFree calls with an address that is no live block (they fail with error 6
    // and return the address, as on Windows).
    std::size_t ForeignFrees() const;
    const std::vector<ShellCall>& ShellCalls() const;
    std::size_t LayoutLoads() const;    // LoadLayout calls that added a layout
    std::size_t LayoutUnloads() const;  // successful UnloadLayout calls
    // LoadLayout, ActivateLayout and UnloadLayout calls, whatever they answered.
    std::size_t LayoutCalls() const;

    // --- The dialogs' services: registry, files, help viewer, choosers -----------------------
    struct HtmlHelpCall {
        WindowHandle caller;
        std::wstring file;
        unsigned command;
        std::uintptr_t data;
    };
    struct FileDialogCall {
        WindowHandle owner;
        bool save;
    };
    struct FolderBrowserCall {
        WindowHandle owner;
        std::wstring caption;
    };
    // Names and text values are kept as Windows keeps them, in UTF-16: what is staged
    // through an ANSI text is converted with the code page of the moment, as
    // RegSetValueExA does, and the library reads it back as RegQueryValueExW gives it.
    // A key and its parents come to exist (paths are case-insensitive, "\\" separated).
    // A key that is not writable refuses every access beyond KEY_READ with error 5, as
    // Windows does for a user without write rights to it.
    void SetRegistryKey(RegistryRoot root, const std::string& path, bool writable = true);
    // A value of any type with these bytes, as RegSetValueExA stores it: the ANSI bytes of
    // a text type (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) become UTF-16, one character each,
    // any other type's are kept. Its key is made as by SetRegistryKey.
    void SetRegistryValue(RegistryRoot root, const std::string& path, const std::string& name,
                          std::uint32_t type, const std::vector<unsigned char>& data);
    // A text value, stored with its terminating zero as RegSetValueExA stores it.
    void SetRegistryText(RegistryRoot root, const std::string& path, const std::string& name,
                         const std::string& text, std::uint32_t type = kRegSz);
    // A Unicode text value with its terminating zero, as RegSetValueExW stores it (and the
    // installer writes the help file's path).
    void SetRegistryText(RegistryRoot root, const std::string& path, const std::string& name,
                         const std::wstring& text, std::uint32_t type = kRegSz);
    bool RegistryKeyExists(RegistryRoot root, const std::string& path) const;
    std::size_t OpenRegistryKeys() const;  // opened and not yet closed
    // Files and folders that exist (paths case-insensitive); anything else does not. An
    // ANSI path is converted with the code page of the moment.
    void AddFile(const std::string& path);
    void AddFile(const std::wstring& path);
    void AddFolder(const std::string& path);
    void AddFolder(const std::wstring& path);
    // hhctrl.ocx, or HtmlHelpW in it, is missing on this system.
    void SetHtmlHelpMissing(bool missing);
    // The viewer opens nothing even for an existing file, as for a damaged help file.
    void SetHelpFilesDamaged(bool damaged);
    // The viewer opens a window when the file part of its argument (before "::") names an
    // existing file, as hhctrl.ocx does; every call is recorded. HH_CLOSE_ALL closes
    // every viewer.
    const std::vector<HtmlHelpCall>& HtmlHelpCalls() const;
    std::size_t HelpViewersOpen() const;
    // The full path of the viewer's library once help was first asked for, empty before:
    // always the one in the system folder, whatever the program's own folder holds.
    const std::string& HelpLibraryLoaded() const;
    // How the next file dialog and the next folder browser end: confirmed with this choice,
    // or cancelled (nullopt). With nothing staged the user cancels.
    void AnswerFileDialog(std::optional<FileChoice> choice);
    void AnswerFolderBrowser(std::optional<std::wstring> path);
    const std::vector<FileDialogCall>& FileDialogCalls() const;
    const std::vector<FolderBrowserCall>& FolderBrowserCalls() const;

private:
    std::wstring Widened(const std::string& text) const;  // AnsiToWide

    struct State;
    std::unique_ptr<State> state_;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> rawResources_;
    struct Desktop;
    struct DesktopDeleter {
        void operator()(Desktop* desktop) const;
    };
    static Desktop* NewDesktop();
    std::unique_ptr<Desktop, DesktopDeleter> desktop_;
};

// A text as the registry keeps it, and RegQueryValueExW gives it: UTF-16LE.
std::vector<unsigned char> Utf16Bytes(const std::wstring& text);

}  // namespace tarvik::platform
