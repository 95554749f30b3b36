// lmInitPlugIn hands the host the plug-in's description, name and author; lmMessage
// takes the host's notifications, of which the library needs none.
#include "platform/Platform.h"
#include "about/UPluginAboutForm.h"
#include "plugin/UBoundary.h"
#include "plugin/UHostServices.h"
#include "resources/Strings.h"

using tarvik::platform::Os;

namespace {
constexpr const char kAuthor[] = "Halvenor";
}

extern "C" void TARVIK_CALL lmInitPlugIn(std::uintptr_t /*host*/, char** name, char** author,
                                         char** description) {
    tarvik::plugin::Guarded([&] {
        using namespace tarvik;
        plugin::AssignHostText(description, Os().LoadText(resources::IDS_PLUGIN_DESCRIPTION));
        plugin::AssignHostText(name, Os().LoadText(resources::IDS_PLUGIN_NAME));
        plugin::AssignHostText(author, kAuthor);
    });
}

// No argument of the host's notification is documented or read, so none is declared: a
// guessed count would make this stdcall entry pop words the host may never have pushed.
extern "C" void TARVIK_CALL lmMessage(void) {}

// The About box, owned by the host's active window, shown modally and destroyed before
// the call returns, also when something fails inside; nothing is thrown to the host.
extern "C" void TARVIK_CALL lmAbout(void) {
    tarvik::plugin::Guarded([] { tarvik::about::ShowAboutBox(); });
}
