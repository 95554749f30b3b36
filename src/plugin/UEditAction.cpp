// lmEditAction: opens the editor dialog of a command. The library has no editor
// dialogs yet, so every command answers false and no dialog opens; the host then keeps
// the parameters it had.
#include "plugin/UBoundary.h"

extern "C" std::int32_t TARVIK_CALL lmEditAction(std::int32_t /*number*/, char** /*params*/) {
    return tarvik::plugin::kFalse;
}
