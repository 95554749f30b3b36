// The command catalogue, and the entry points through which the host hands over its
// callbacks.
#include "plugin/URegisterPlugin.h"

#include <string>

#include "platform/Platform.h"
#include "plugin/UBoundary.h"
#include "plugin/UHostServices.h"
#include "resources/Strings.h"

namespace tarvik::plugin {

namespace {

using namespace resources;

// A category is an entry with number 0, no description and the one-byte kinds [0].
constexpr std::uint8_t kNoKinds[] = {0};
constexpr std::uint8_t kTextResult[] = {1, 6};
constexpr std::uint8_t kIdTextResult[] = {3, 1, 6};
constexpr std::uint8_t kTextResultResult[] = {1, 6, 6};

struct CatalogueEntry {
    std::int32_t number;
    unsigned nameId;
    unsigned descriptionId;  // 0: the empty description of a category
    const std::uint8_t* kinds;
    std::int32_t kindCount;  // bytes in kinds
    std::int32_t parameterCount;
};

template <std::size_t N>
constexpr CatalogueEntry Command(std::int32_t number, unsigned nameId, unsigned descriptionId,
                                 const std::uint8_t (&kinds)[N], std::int32_t parameterCount) {
    return {number, nameId, descriptionId, kinds, static_cast<std::int32_t>(N), parameterCount};
}

constexpr CatalogueEntry Category(unsigned captionId) {
    return Command(0, captionId, 0, kNoKinds, 0);
}

// TarvikAdd has no description of its own: its name stands in for one.
constexpr CatalogueEntry kCatalogue[] = {
    Category(IDS_CATEGORY_KEYS),
    Command(1, IDS_NAME_ADD, IDS_NAME_ADD, kTextResult, 2),
    Command(2, IDS_NAME_CHANGE, IDS_DESCRIPTION_CHANGE, kIdTextResult, 3),
    Command(3, IDS_NAME_REMOVE, IDS_DESCRIPTION_REMOVE, kTextResult, 2),
    Command(4, IDS_NAME_REMOVE_BY_ID, IDS_DESCRIPTION_REMOVE_BY_ID, kTextResult, 2),
    Category(IDS_CATEGORY_ADDITIONAL),
    Command(5, IDS_NAME_CLEAR, IDS_DESCRIPTION_CLEAR, kNoKinds, 0),
    Command(6, IDS_NAME_IS_VALID, IDS_DESCRIPTION_IS_VALID, kTextResult, 2),
    Command(7, IDS_NAME_IS_AVAILABLE, IDS_DESCRIPTION_IS_AVAILABLE, kTextResult, 2),
    Category(IDS_CATEGORY_EVENTS),
    Command(8, IDS_NAME_ON_KEY_PRESS, IDS_DESCRIPTION_ON_KEY_PRESS, kTextResultResult, 3),
};

}  // namespace

void RegisterActions() {
    TRegisterActionProc proc = Callbacks().RegisterActionProc;
    if (proc == nullptr) {
        return;
    }
    platform::Platform& os = platform::Os();
    for (const CatalogueEntry& entry : kCatalogue) {
        // Our copies live until the call returns; the host copies what it keeps.
        const std::string name = os.LoadText(entry.nameId);
        const std::string description =
            entry.descriptionId != 0 ? os.LoadText(entry.descriptionId) : std::string();
        proc(entry.number, name.c_str(), description.c_str(), entry.kinds, entry.kindCount - 1,
             entry.parameterCount);
    }
}

}  // namespace tarvik::plugin

using namespace tarvik::plugin;

extern "C" void TARVIK_CALL lmRegisterPlugIn(TRegisterActionProc reg, std::uintptr_t /*a*/,
                                             std::uintptr_t /*b*/, TSetVariableProc setVariable) {
    Guarded([&] {
        Callbacks().SetVariableProc = setVariable;
        Callbacks().RegisterActionProc = reg;
        RegisterActions();
    });
}

extern "C" void TARVIK_CALL lmRegisterScriptProcessor(TScriptProcessorProc proc) {
    Callbacks().ScriptProcessorProc = proc;
}

extern "C" void TARVIK_CALL lmRegisterInterfaceAccess(TInterfaceAccessProc proc) {
    Callbacks().InterfaceAccessProc = proc;
}
