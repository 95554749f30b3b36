// The edit routine of TarvikIsValid: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysIsValidAction(char** slot1, char** slot2);

}  // namespace tarvik::editors
