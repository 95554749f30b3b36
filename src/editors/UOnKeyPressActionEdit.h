// The edit routine of tvOnKeyPress: its parameter slots, in parameter order.
#pragma once

namespace tarvik::editors {

bool EditOnKeyPressAction(char** slot1, char** slot2, char** slot3);

}  // namespace tarvik::editors
