// The edit routine of TarvikRemoveById: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysRemoveByIdAction(char** slot1, char** slot2);

}  // namespace tarvik::editors
