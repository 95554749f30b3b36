// A small Lumora-like host: it hands the plug-in its four callbacks, keeps host
// variables and subroutines, answers interface requests, and records every callback in
// the order it arrived.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "PluginApi.h"

namespace tarvik::host {

struct CatalogueCall {
    std::int32_t number;
    std::string name;
    std::string description;
    std::vector<std::uint8_t> kinds;
    std::int32_t kindsHigh;
    std::int32_t count;
};

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class Host {
public:
    // The plug-in's callbacks carry no context, so one host is current at a time: the
    // most recently constructed one.
    explicit Host(const PluginApi& api);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // lmInitPlugIn, lmRegisterPlugIn, lmRegisterScriptProcessor, lmRegisterInterfaceAccess.
    void Connect();
    // Runs a command with these parameter texts (a copy lives for the call).
    bool Exec(std::int32_t number, const std::vector<std::string>& params);
    // The raw call, for tests of the contract (null arrays, odd numbers); the whole
    // 32-bit result.
    std::int32_t ExecRaw(std::int32_t number, char** params);

    // Opens the command's editor as the host does while an author edits a script: each
    // parameter travels in a global block (nullopt: a null slot); after the call `params`
    // holds what the slots hold then, and the host has released the blocks.
    bool Edit(std::int32_t number, std::vector<std::optional<std::string>>& params);
    void About();

    // A variable's value, or nullopt when the plug-in never set it (or it was cleared).
    std::optional<std::string> Variable(const std::string& name) const;

    const PluginApi& Api() const { return api_; }

    // What the plug-in handed back in lmInitPlugIn.
    std::string PluginName, PluginAuthor, PluginDescription;
    std::vector<CatalogueCall> Catalogue;

    // The host's own state, set up by a test or a script.
    std::map<std::string, std::string, CaseInsensitiveLess> Variables;
    std::vector<std::string> Subroutines;  // listed for request 5, one per line
    std::optional<std::string> Version = std::string("5.0");  // request 6; nullopt: no reply
    std::optional<std::string> PickReply;  // picker requests; nullopt: cell left unchanged
    std::vector<std::string> Messages;     // texts of request 9
    // Every block handed to the plug-in as the reply to a request, with its text, in
    // order: the plug-in releases each one once it has read it.
    std::vector<std::pair<const void*, std::string>> Replies;

    // Every callback as one line, in order: "SetVariable HK=49268", "Script GoSub \"x\"",
    // "Request 5", "RegisterAction 1 TarvikAdd".
    std::vector<std::string> Events;
    // Echoes each event as it happens, when set.
    std::ostream* Trace = nullptr;
    // Runs a subroutine on a "GoSub" line; unset, the line is only recorded.
    std::function<void(const std::string& name)> RunSubroutine;
    // Runs inside the set-variable callback after the variable is stored (a host that
    // disturbs the thread's last error, say).
    std::function<void()> AfterSetVariable;

private:
    static void TARVIK_CALL OnRegisterAction(std::int32_t number, const char* name,
                                             const char* description, const std::uint8_t* kinds,
                                             std::int32_t kindsHigh, std::int32_t count);
    static void TARVIK_CALL OnSetVariable(const char* name, const char* value);
    static void TARVIK_CALL OnScriptLine(const char* line);
    static void TARVIK_CALL OnInterfaceAccess(std::int32_t code, char** cell);

    void Record(std::string event);
    void ScriptLine(const std::string& line);
    void InterfaceAccess(std::int32_t code, char** cell);
    char* Reply(const std::string& text);
    static std::string TakeCell(char*& cell);

    PluginApi api_;
    Host* previous_;
    std::string pickText_;  // the host's own text that a picker reply points at
};

// Parses a line "GoSub \"name\"" or "ClearVariables \"name\"": the command word and
// the argument between the quotes. False for any other shape.
bool ParseScriptLine(const std::string& line, std::string& command, std::string& argument);

}  // namespace tarvik::host
