// The edit routine of TarvikChange: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysChangeAction(char** slot1, char** slot2, char** slot3);

}  // namespace tarvik::editors
