// The edit routine of TarvikAdd: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditKeysAddAction(char** slot1, char** slot2);

}  // namespace tarvik::editors
