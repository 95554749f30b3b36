// The edit routine of TarvikRemove: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysRemoveAction(char** slot1, char** slot2);

}  // namespace tarvik::editors
