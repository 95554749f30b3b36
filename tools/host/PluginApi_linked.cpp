// The host with the plug-in's own code linked in, running against the in-memory
// platform: the same host logic, without a DLL (natively, and in the unit tests of every build).
#include "PluginApi.h"
#include "platform/FakePlatform.h"
#include "plugin/ULibraryProc.h"

namespace tarvik::host {

namespace {
platform::FakePlatform* Fake() {
    return dynamic_cast<platform::FakePlatform*>(&platform::Os());
}
}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& /*path*/, std::string& error) {
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->api_ = PluginApi{lmInitPlugIn, lmRegisterPlugIn, lmRegisterScriptProcessor,
                              lmRegisterInterfaceAccess, lmExecAction, lmEditAction, lmAbout,
                              lmMessage};
    if (!plugin::LibraryStartup()) {
        error = "the library's start-up failed";
    }
    return library;
}

bool PluginLibrary::ReportHighContrast() {
    platform::FakePlatform* fake = Fake();
    if (fake != nullptr) {
        fake->SetHighContrast(true);
    }
    return fake != nullptr;
}

PluginLibrary::~PluginLibrary() {
    plugin::LibraryShutdown();
}

namespace system {

void* Alloc(std::size_t bytes) {
    return platform::Os().GlobalAlloc(bytes);
}

void Free(void* block) {
    platform::Os().GlobalFree(block);
}

void PumpMessages(int /*milliseconds*/, bool (* /*done*/)(void*), void* /*context*/) {
    if (platform::FakePlatform* fake = Fake()) {
        fake->PumpMessages();
    }
}

bool PressKeys(unsigned modifiers, unsigned key) {
    platform::FakePlatform* fake = Fake();
    return fake != nullptr && fake->PressKey(modifiers, key);
}

std::string ToUtf8(const std::string& text) {
    return text;  // the in-memory platform's texts are shown as they are
}

}  // namespace system

}  // namespace tarvik::host
