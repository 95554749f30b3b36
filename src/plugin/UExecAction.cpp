// lmExecAction: the command number picks one of the eight routines.
#include "actions/UActionExec.h"
#include "plugin/UBoundary.h"

namespace {

using Routine = bool (*)(char** params);

// Indexed by command number - 1, in catalogue order.
constexpr Routine kRoutines[] = {
    tarvik::actions::ExecAdd,         tarvik::actions::ExecChange,
    tarvik::actions::ExecRemove,      tarvik::actions::ExecRemoveById,
    tarvik::actions::ExecClear,       tarvik::actions::ExecIsValid,
    tarvik::actions::ExecIsAvailable, tarvik::actions::ExecOnKeyPress,
};

}  // namespace

extern "C" std::int32_t TARVIK_CALL lmExecAction(std::int32_t number, char** params) {
    return tarvik::plugin::GuardedBool([&] {
        // Unsigned, so that 0 and negative numbers fall outside the table too.
        const auto index = static_cast<std::uint32_t>(number) - 1u;
        if (index >= sizeof(kRoutines) / sizeof(kRoutines[0])) {
            return false;
        }
        return kRoutines[index](params);
    });
}
