// The binary contract with the host: calling convention, callback types, entry points.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define TARVIK_CALL __stdcall
#else
#define TARVIK_CALL
#endif

namespace tarvik::plugin {

using TRegisterActionProc = void(TARVIK_CALL*)(std::int32_t number, const char* name,
                                               const char* description, const std::uint8_t* kinds,
                                               std::int32_t kindsHigh, std::int32_t count);
using TSetVariableProc = void(TARVIK_CALL*)(const char* name, const char* value);
using TScriptProcessorProc = void(TARVIK_CALL*)(const char* line);
using TInterfaceAccessProc = void(TARVIK_CALL*)(std::int32_t code, char** cell);

// Results of the Boolean entry points: a whole 32-bit 0 or 1.
constexpr std::int32_t kFalse = 0;
constexpr std::int32_t kTrue = 1;

}  // namespace tarvik::plugin

// The exported entry points. The host owns every cell and array it passes.
extern "C" {
void TARVIK_CALL lmInitPlugIn(std::uintptr_t host, char** name, char** author, char** description);
void TARVIK_CALL lmRegisterPlugIn(tarvik::plugin::TRegisterActionProc reg, std::uintptr_t a,
                                  std::uintptr_t b, tarvik::plugin::TSetVariableProc setVariable);
void TARVIK_CALL lmRegisterScriptProcessor(tarvik::plugin::TScriptProcessorProc proc);
void TARVIK_CALL lmRegisterInterfaceAccess(tarvik::plugin::TInterfaceAccessProc proc);
std::int32_t TARVIK_CALL lmExecAction(std::int32_t number, char** params);
std::int32_t TARVIK_CALL lmEditAction(std::int32_t number, char** params);
void TARVIK_CALL lmAbout(void);
void TARVIK_CALL lmMessage(void);
}
