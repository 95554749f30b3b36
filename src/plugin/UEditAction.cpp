// lmEditAction: opens the editor dialog of a command and, on OK, writes the edited
// parameters back into the host's array. The dialog is destroyed before the entry
// point returns, also when something fails inside; nothing is thrown to the host.
#include "editors/UActionEditors.h"
#include "plugin/UBoundary.h"

extern "C" std::int32_t TARVIK_CALL lmEditAction(std::int32_t number, char** params) {
    return tarvik::plugin::GuardedBool([&] { return tarvik::editors::EditCommand(number, params); });
}
