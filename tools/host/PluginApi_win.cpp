// Under Windows the host loads the plug-in DLL and finds its entry points by name.
#include <windows.h>

#include "PluginApi.h"
#include "support/ImportPatch.h"

namespace tarvik::host {

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& target, std::string& error) {
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        error = std::string("missing entry point ") + name;
        return false;
    }
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    return true;
}

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// SystemParametersInfoW as on a system in high-contrast mode.
BOOL WINAPI HighContrastParameters(UINT action, UINT parameter, PVOID data, UINT update) {
    if (action == SPI_GETHIGHCONTRAST && data != nullptr &&
        static_cast<HIGHCONTRASTW*>(data)->cbSize == sizeof(HIGHCONTRASTW)) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(data);
        contrast->dwFlags = HCF_AVAILABLE | HCF_HIGHCONTRASTON;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return SystemParametersInfoW(action, parameter, data, update);
}

}  // namespace

bool PluginLibrary::ReportHighContrast() {
    auto patch = std::make_shared<testing_support::ImportPatch>(
        static_cast<HMODULE>(module_),
        std::vector<testing_support::ImportReplacement>{
            {"user32.dll", "SystemParametersInfoW", reinterpret_cast<const void*>(&HighContrastParameters)}});
    if (patch->Patched().empty()) {
        return false;
    }
    highContrast_ = std::move(patch);
    return true;
}

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->module_ = module;
    PluginApi& api = library->api_;
    const bool ok = Resolve(module, "lmInitPlugIn", api.InitPlugIn, error) &&
                    Resolve(module, "lmRegisterPlugIn", api.RegisterPlugIn, error) &&
                    Resolve(module, "lmRegisterScriptProcessor", api.RegisterScriptProcessor, error) &&
                    Resolve(module, "lmRegisterInterfaceAccess", api.RegisterInterfaceAccess, error) &&
                    Resolve(module, "lmExecAction", api.ExecAction, error) &&
                    Resolve(module, "lmEditAction", api.EditAction, error) &&
                    Resolve(module, "lmAbout", api.About, error) &&
                    Resolve(module, "lmMessage", api.Message, error);
    if (!ok) {
        return nullptr;
    }
#if defined(__i386__)
    CheckCallingConvention(api);
#endif
    return library;
}

PluginLibrary::~PluginLibrary() {
    highContrast_.reset();  // the import table as it was, while the DLL is still there
    if (module_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module_));
    }
}

namespace system {

void* Alloc(std::size_t bytes) {
    return ::GlobalAlloc(GMEM_FIXED, bytes);
}

void Free(void* block) {
    ::GlobalFree(block);
}

void PumpMessages(int milliseconds, bool (*done)(void*), void* context) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    MSG message;
    while (GetTickCount64() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done != nullptr && done(context)) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool PressKeys(unsigned modifiers, unsigned key) {
    static constexpr struct {
        unsigned flag;
        WORD key;
    } kModifierKeys[] = {{MOD_CONTROL, VK_CONTROL}, {MOD_SHIFT, VK_SHIFT}, {MOD_ALT, VK_MENU},
                         {MOD_WIN, VK_LWIN}};
    INPUT inputs[10];
    UINT count = 0;
    for (const auto& m : kModifierKeys) {
        if ((modifiers & m.flag) != 0) {
            inputs[count++] = KeyInput(m.key, false);
        }
    }
    inputs[count++] = KeyInput(static_cast<WORD>(key), false);
    inputs[count++] = KeyInput(static_cast<WORD>(key), true);
    for (int i = 3; i >= 0; --i) {
        if ((modifiers & kModifierKeys[i].flag) != 0) {
            inputs[count++] = KeyInput(kModifierKeys[i].key, true);
        }
    }
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

std::string ToUtf8(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

}  // namespace system

}  // namespace tarvik::host
