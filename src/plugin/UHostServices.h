// Everything the library says to the host goes through these operations.
#pragma once

#include <string>
#include <vector>

#include "plugin/UPluginTypes.h"

namespace tarvik::plugin {

// The host's callbacks, each written only by its own entry point and never cleared.
struct HostCallbacks {
    TRegisterActionProc RegisterActionProc = nullptr;
    TSetVariableProc SetVariableProc = nullptr;
    TScriptProcessorProc ScriptProcessorProc = nullptr;
    TInterfaceAccessProc InterfaceAccessProc = nullptr;
};
HostCallbacks& Callbacks();

enum class THostListKind { Kind0 = 0, Subroutines = 1, Kind2 = 2 };
enum class THostPickerKind { Kind0 = 0, Variable = 1, Kind2 = 2, ObjectTag0 = 3, ObjectTag1 = 4, Kind5 = 5 };

// Interface-access request codes.
constexpr int kRequestHostVersion = 6;
constexpr int kRequestShowMessage = 9;
int ListRequestCode(THostListKind kind);
int PickerRequestCode(THostPickerKind kind);

void SetHostVariable(const std::string& name, const std::string& value);
void ClearHostVariables(const std::string& names);
bool HostSubroutineExists(const std::string& name);
bool RunHostSubroutine(const std::string& name);
// The cell's old block is released; a fresh global block with the text is stored.
// A null cell address is ignored; when no block can be had the cell stays null.
void AssignHostText(char** cell, const std::string& text);
void FreeHostText(char** cell);
std::string EscapeQuotes(const std::string& text);
bool ShellOpen(const std::string& fileName, const std::string& parameters, int showCommand);
void GetHostVersion(std::string& version);
bool IsHostVersion5OrLater();
void ShowHostMessage(const std::string& text);
void GetHostList(THostListKind kind, std::vector<std::string>& list);
void PickFromHost(THostPickerKind kind, const std::string& current, std::string& result);
std::vector<std::string> SplitText(const std::string& separator, const std::string& text);

// A parameter of the host's array; a null array or slot reads as an empty text.
std::string Param(char** params, int index);

}  // namespace tarvik::plugin
