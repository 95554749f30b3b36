// The eight script-command routines behind lmExecAction, one module each. Each reads
// its parameters from the host's array; a null array or slot reads as an empty text.
#pragma once

namespace tarvik::actions {

bool ExecAdd(char** params);         // TarvikAdd: hotkey text, id variable
bool ExecChange(char** params);      // TarvikChange: old id, new hotkey text, id variable
bool ExecRemove(char** params);      // TarvikRemove: hotkey text, result variable
bool ExecRemoveById(char** params);  // TarvikRemoveById: id, result variable
bool ExecClear(char** params);       // TarvikClear: no parameters
bool ExecIsValid(char** params);     // TarvikIsValid: hotkey text, result variable
bool ExecIsAvailable(char** params); // TarvikIsAvailable: hotkey text, result variable
bool ExecOnKeyPress(char** params);  // tvOnKeyPress: subroutine, id variable, text variable

}  // namespace tarvik::actions
