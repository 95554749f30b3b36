// The edit routine of TarvikIsAvailable: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysIsAvailableAction(char** slot1, char** slot2);

}  // namespace tarvik::editors
