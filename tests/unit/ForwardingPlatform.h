// A platform that passes every call on to a fake; tests derive from it and override
// the few calls they stage or record.
#pragma once

#include "platform/FakePlatform.h"

namespace tarvik::test_support {

class ForwardingPlatform : public platform::Platform {
public:
    using Atom = platform::Atom;
    using LayoutHandle = platform::LayoutHandle;
    using WindowHandle = platform::WindowHandle;

    explicit ForwardingPlatform(platform::FakePlatform& fake) : os(fake) {}

    platform::FakePlatform& os;

    std::uint32_t LastError() override { return os.LastError(); }
    void SetLastError(std::uint32_t code) override { os.SetLastError(code); }
    std::string SystemMessage(std::uint32_t code) override { return os.SystemMessage(code); }
    void* GlobalAlloc(std::size_t bytes) override { return os.GlobalAlloc(bytes); }
    void* GlobalFree(void* block) override { return os.GlobalFree(block); }
    bool IsGlobalFixedBlock(const void* block) override { return os.IsGlobalFixedBlock(block); }
    bool EqualIgnoreCase(const std::string& a, const std::string& b) override {
        return os.EqualIgnoreCase(a, b);
    }
    bool ComparisonKey(const std::string& text, std::string& key) override {
        return os.ComparisonKey(text, key);
    }
    std::uint32_t UserLocale() override { return os.UserLocale(); }
    unsigned AnsiCodePage() override { return os.AnsiCodePage(); }
    WindowHandle ActiveWindow() override { return os.ActiveWindow(); }
    bool HighContrast() override { return os.HighContrast(); }
    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override {
        return os.ShellOpen(owner, file, parameters, show);
    }
    Atom AddGlobalAtom(const std::string& name) override { return os.AddGlobalAtom(name); }
    Atom DeleteGlobalAtom(Atom atom) override { return os.DeleteGlobalAtom(atom); }
    bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) override {
        return os.RegisterHotKey(window, id, modifiers, key);
    }
    bool UnregisterHotKey(WindowHandle window, int id) override {
        return os.UnregisterHotKey(window, id);
    }
    WindowHandle CreateHiddenWindow(platform::MessageSink* sink) override {
        return os.CreateHiddenWindow(sink);
    }
    bool DestroyHiddenWindow(WindowHandle window) override { return os.DestroyHiddenWindow(window); }
    std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) override {
        return os.DefaultWindowProc(window, message, wParam, lParam);
    }
    unsigned MapVirtualKeyCode(unsigned code, unsigned mapType) override {
        return os.MapVirtualKeyCode(code, mapType);
    }
    unsigned MapVirtualKeyCodeEx(unsigned code, unsigned mapType, LayoutHandle layout) override {
        return os.MapVirtualKeyCodeEx(code, mapType, layout);
    }
    std::string KeyNameText(std::int32_t lParam) override { return os.KeyNameText(lParam); }
    LayoutHandle ThreadLayout() override { return os.ThreadLayout(); }
    std::vector<LayoutHandle> LayoutList(int maxCount) override { return os.LayoutList(maxCount); }
    LayoutHandle LoadLayout(const std::string& id, unsigned flags) override {
        return os.LoadLayout(id, flags);
    }
    LayoutHandle ActivateLayout(LayoutHandle layout, unsigned flags) override {
        return os.ActivateLayout(layout, flags);
    }
    bool UnloadLayout(LayoutHandle layout) override { return os.UnloadLayout(layout); }
    std::wstring AnsiToWide(const std::string& text) override { return os.AnsiToWide(text); }
    std::string WideToAnsi(const std::wstring& text) override { return os.WideToAnsi(text); }
    std::wstring LoadWideText(unsigned id) override { return os.LoadWideText(id); }
    platform::UniqueRegistryKey OpenRegistryKey(const std::wstring& path, std::uint32_t access,
                                                std::uint32_t& error) override {
        return os.OpenRegistryKey(path, access, error);
    }
    void CloseRegistryKey(platform::RegistryKey key) override { os.CloseRegistryKey(key); }
    bool QueryRegistryValue(platform::RegistryKey key, const std::wstring& name,
                            platform::RegistryValue& value) override {
        return os.QueryRegistryValue(key, name, value);
    }
    std::uint32_t FileAttributes(const std::wstring& path) override { return os.FileAttributes(path); }
    WindowHandle HtmlHelp(WindowHandle caller, const std::wstring& file, unsigned command,
                          std::uintptr_t data) override {
        return os.HtmlHelp(caller, file, command, data);
    }
    bool ChooseFiles(WindowHandle owner, bool save, platform::FileChoice& choice) override {
        return os.ChooseFiles(owner, save, choice);
    }
    bool BrowseForFolder(WindowHandle owner, const std::wstring& caption,
                         std::wstring& path) override {
        return os.BrowseForFolder(owner, caption, path);
    }
};

}  // namespace tarvik::test_support
