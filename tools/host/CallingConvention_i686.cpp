// The 32-bit host's own check of the calling convention. Every entry point is called
// through a small assembly caller that pushes exactly the 32-bit words the host declares,
// calls, and measures how far the stack pointer moved across the call and whether the
// registers the callee must keep (ebx, esi, edi) came back. Every callback the plug-in
// makes enters through a thunk that pops exactly the words the host declares and notes
// where the plug-in's stack stood. A plug-in built with another convention or another
// argument count for any of them leaves the stack off, and the fault names the entry
// point or callback.
#if defined(__i386__)

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PluginApi.h"

namespace tarvik::host {

namespace {

struct StackReport {
    std::int32_t moved;       // stack pointer after the call minus before the arguments
    std::uint32_t clobbered;  // 1 ebx, 2 esi, 4 edi: registers the callee did not keep
};

}  // namespace

}  // namespace tarvik::host

extern "C" {
std::uint32_t tarvik_call_stdcall(const void* function, const std::uint32_t* words,
                                  std::uint32_t count, tarvik::host::StackReport* report);
void tarvik_callback_entered(std::uint32_t index, std::uintptr_t stack);
extern const void* tarvik_callback_targets[4];
void tarvik_thunk_register_action();
void tarvik_thunk_set_variable();
void tarvik_thunk_script_processor();
void tarvik_thunk_interface_access();
}

// tarvik_call_stdcall(function, words, count, report), cdecl: pushes words[count-1] ...
// words[0], calls, and fills the report. Known values stand in the callee-saved
// registers during the call.
asm(R"(
    .text
    .globl _tarvik_call_stdcall
_tarvik_call_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl %esp, -16(%ebp)
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl $0x5a5a5a5a, %ebx
    movl $0x6b6b6b6b, %esi
    movl $0x7c7c7c7c, %edi
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %esp, %edx
    subl -16(%ebp), %edx
    movl %edx, (%ecx)
    xorl %edx, %edx
    cmpl $0x5a5a5a5a, %ebx
    je 3f
    orl $1, %edx
3:  cmpl $0x6b6b6b6b, %esi
    je 4f
    orl $2, %edx
4:  cmpl $0x7c7c7c7c, %edi
    je 5f
    orl $4, %edx
5:  movl %edx, 4(%ecx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

// One thunk per callback: note the stack pointer the plug-in called with (it points at the
// return address, the arguments above it), then go on to the host's own stdcall callback,
// which pops the words the host declares and returns straight to the plug-in.
asm(R"(
    .text
    .globl _tarvik_thunk_register_action
_tarvik_thunk_register_action:
    movl %esp, %eax
    pushl %eax
    pushl $0
    call _tarvik_callback_entered
    addl $8, %esp
    jmp *_tarvik_callback_targets+0
    .globl _tarvik_thunk_set_variable
_tarvik_thunk_set_variable:
    movl %esp, %eax
    pushl %eax
    pushl $1
    call _tarvik_callback_entered
    addl $8, %esp
    jmp *_tarvik_callback_targets+4
    .globl _tarvik_thunk_script_processor
_tarvik_thunk_script_processor:
    movl %esp, %eax
    pushl %eax
    pushl $2
    call _tarvik_callback_entered
    addl $8, %esp
    jmp *_tarvik_callback_targets+8
    .globl _tarvik_thunk_interface_access
_tarvik_thunk_interface_access:
    movl %esp, %eax
    pushl %eax
    pushl $3
    call _tarvik_callback_entered
    addl $8, %esp
    jmp *_tarvik_callback_targets+12
)");

const void* tarvik_callback_targets[4] = {};

namespace tarvik::host {

namespace {

// The host's declarations: each entry point's name and the 32-bit words it takes.
enum Entry { kInit, kRegister, kScriptProcessor, kInterfaceAccess, kExec, kEdit, kAbout, kMessage };
constexpr struct {
    const char* name;
    std::uint32_t words;
} kEntries[] = {{"lmInitPlugIn", 4},   {"lmRegisterPlugIn", 4},          {"lmRegisterScriptProcessor", 1},
                {"lmRegisterInterfaceAccess", 1}, {"lmExecAction", 2}, {"lmEditAction", 2},
                {"lmAbout", 0},        {"lmMessage", 0}};

// The callbacks as the host declares them; the array of TRegisterActionProc travels as
// two words.
constexpr struct {
    const char* name;
    std::uint32_t words;
} kCallbacks[] = {{"TRegisterActionProc", 6}, {"TSetVariableProc", 2}, {"TScriptProcessorProc", 1},
                  {"TInterfaceAccessProc", 2}};

const void* entries[8] = {};
void (*onFault)(const std::string&) = nullptr;
std::vector<std::string> pendingFaults;

// Where the stack stood when the innermost checked entry point was called, per thread.
thread_local std::uintptr_t entryStack = 0;
thread_local const char* entryName = nullptr;

void Fault(const std::string& text) {
    if (onFault != nullptr) {
        onFault(text);
    } else {
        pendingFaults.push_back(text);
    }
}

std::uint32_t CallEntry(Entry entry, std::initializer_list<std::uint32_t> words) {
    const auto& declared = kEntries[entry];
    if (words.size() != declared.words || entries[entry] == nullptr) {
        Fault(std::string(declared.name) + ": the host called it with another argument count");
        return 0;
    }
    StackReport report{};
    const std::uintptr_t outerStack = entryStack;
    const char* outerName = entryName;
    entryStack = reinterpret_cast<std::uintptr_t>(&report);
    entryName = declared.name;
    const std::uint32_t result = tarvik_call_stdcall(entries[entry], words.begin(), declared.words, &report);
    entryStack = outerStack;
    entryName = outerName;
    if (report.moved != 0) {
        Fault(std::string(declared.name) + ": the stack pointer moved by " + std::to_string(report.moved) +
              " bytes across the call; stdcall pops exactly its " + std::to_string(declared.words * 4) +
              " bytes of arguments");
    }
    if (report.clobbered != 0) {
        Fault(std::string(declared.name) + ": the call did not keep the registers ebx, esi and edi (mask " +
              std::to_string(report.clobbered) + ")");
    }
    return result;
}

std::uint32_t Word(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

std::uint32_t Word(std::int32_t value) {
    return static_cast<std::uint32_t>(value);
}

std::uint32_t Word(std::uintptr_t value) {
    return static_cast<std::uint32_t>(value);
}

// Keeps the host's callback for the thunk and gives the plug-in the thunk instead.
std::uint32_t Through(std::uint32_t index, const void* callback, void (*thunk)()) {
    tarvik_callback_targets[index] = callback;
    return callback != nullptr ? Word(reinterpret_cast<const void*>(thunk)) : 0;
}

void TARVIK_CALL CheckedInit(std::uintptr_t host, char** name, char** author, char** description) {
    CallEntry(kInit, {Word(host), Word(name), Word(author), Word(description)});
}

void TARVIK_CALL CheckedRegister(plugin::TRegisterActionProc reg, std::uintptr_t a, std::uintptr_t b,
                                 plugin::TSetVariableProc setVariable) {
    CallEntry(kRegister, {Through(0, reinterpret_cast<const void*>(reg), &tarvik_thunk_register_action), Word(a),
                          Word(b), Through(1, reinterpret_cast<const void*>(setVariable), &tarvik_thunk_set_variable)});
}

void TARVIK_CALL CheckedScriptProcessor(plugin::TScriptProcessorProc proc) {
    CallEntry(kScriptProcessor, {Through(2, reinterpret_cast<const void*>(proc), &tarvik_thunk_script_processor)});
}

void TARVIK_CALL CheckedInterfaceAccess(plugin::TInterfaceAccessProc proc) {
    CallEntry(kInterfaceAccess, {Through(3, reinterpret_cast<const void*>(proc), &tarvik_thunk_interface_access)});
}

std::int32_t TARVIK_CALL CheckedExec(std::int32_t number, char** params) {
    return static_cast<std::int32_t>(CallEntry(kExec, {Word(number), Word(params)}));
}

std::int32_t TARVIK_CALL CheckedEdit(std::int32_t number, char** params) {
    return static_cast<std::int32_t>(CallEntry(kEdit, {Word(number), Word(params)}));
}

void TARVIK_CALL CheckedAbout() {
    CallEntry(kAbout, {});
}

void TARVIK_CALL CheckedMessage() {
    CallEntry(kMessage, {});
}

}  // namespace

void CheckCallingConvention(PluginApi& api) {
    entries[kInit] = reinterpret_cast<const void*>(api.InitPlugIn);
    entries[kRegister] = reinterpret_cast<const void*>(api.RegisterPlugIn);
    entries[kScriptProcessor] = reinterpret_cast<const void*>(api.RegisterScriptProcessor);
    entries[kInterfaceAccess] = reinterpret_cast<const void*>(api.RegisterInterfaceAccess);
    entries[kExec] = reinterpret_cast<const void*>(api.ExecAction);
    entries[kEdit] = reinterpret_cast<const void*>(api.EditAction);
    entries[kAbout] = reinterpret_cast<const void*>(api.About);
    entries[kMessage] = reinterpret_cast<const void*>(api.Message);
    api = PluginApi{&CheckedInit,   &CheckedRegister, &CheckedScriptProcessor, &CheckedInterfaceAccess,
                    &CheckedExec,   &CheckedEdit,     &CheckedAbout,           &CheckedMessage};
}

namespace system {

void OnCallingConventionFault(void (*report)(const std::string& fault)) {
    onFault = report;
    if (onFault != nullptr) {
        for (const std::string& fault : pendingFaults) {
            onFault(fault);
        }
        pendingFaults.clear();
    }
}

std::uint32_t CallStdcallChecked(const void* function, std::initializer_list<std::uint32_t> words,
                                 std::int32_t& moved) {
    StackReport report{};
    const std::uint32_t result =
        tarvik_call_stdcall(function, words.begin(), static_cast<std::uint32_t>(words.size()), &report);
    moved = report.moved;
    return result;
}

}  // namespace system

}  // namespace tarvik::host

// A callback came in: the stack pointer points at the plug-in's return address with the
// declared words above it, all of them inside the stack of the entry point that is running
// (a press arrives through the host's message loop, outside any entry point).
extern "C" void tarvik_callback_entered(std::uint32_t index, std::uintptr_t stack) {
    using namespace tarvik::host;
    const auto& declared = kCallbacks[index];
    const std::uintptr_t top = stack + 4 + 4 * declared.words;
    const bool aligned = (stack & 3) == 0;
    const bool inside = entryStack == 0 || top <= entryStack;
    if (!aligned || !inside) {
        Fault(std::string(declared.name) + (entryName != nullptr ? std::string(" during ") + entryName : "") +
              ": called with its arguments outside the plug-in's stack");
    }
}

#endif  // __i386__
