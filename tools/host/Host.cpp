#include "Host.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace tarvik::host {

namespace {
Host* current = nullptr;

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// A global block with the text, as the host hands replies to the plug-in.
char* HostBlock(const std::string& text) {
    auto* block = static_cast<char*>(system::Alloc(text.size() + 1));
    if (block != nullptr) {
        std::memcpy(block, text.c_str(), text.size() + 1);
    }
    return block;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "\r\n") + lines[i];
    }
    return text;
}
}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

bool ParseScriptLine(const std::string& line, std::string& command, std::string& argument) {
    const std::size_t space = line.find(" \"");
    if (space == std::string::npos || line.size() < space + 3 || line.back() != '"') {
        return false;
    }
    command = line.substr(0, space);
    argument = line.substr(space + 2, line.size() - space - 3);
    return argument.find('"') == std::string::npos;
}

Host::Host(const PluginApi& api) : api_(api), previous_(current) {
    current = this;
}

Host::~Host() {
    current = previous_;
}

void Host::Connect() {
    char* name = nullptr;
    char* author = nullptr;
    char* description = nullptr;
    api_.InitPlugIn(0, &name, &author, &description);
    PluginName = TakeCell(name);
    PluginAuthor = TakeCell(author);
    PluginDescription = TakeCell(description);
    api_.RegisterPlugIn(&Host::OnRegisterAction, 0, 0, &Host::OnSetVariable);
    api_.RegisterScriptProcessor(&Host::OnScriptLine);
    api_.RegisterInterfaceAccess(&Host::OnInterfaceAccess);
}

bool Host::Exec(std::int32_t number, const std::vector<std::string>& params) {
    std::vector<std::string> copies(params);
    std::vector<char*> slots;
    for (std::string& text : copies) {
        slots.push_back(&text[0]);
    }
    slots.push_back(nullptr);
    return ExecRaw(number, slots.data()) != 0;
}

std::int32_t Host::ExecRaw(std::int32_t number, char** params) {
    return api_.ExecAction(number, params);
}

bool Host::Edit(std::int32_t number, std::vector<std::optional<std::string>>& params) {
    std::vector<char*> slots;
    for (const auto& text : params) {
        slots.push_back(text ? HostBlock(*text) : nullptr);
    }
    slots.resize(std::max<std::size_t>(slots.size(), 3), nullptr);
    const std::int32_t result = api_.EditAction(number, slots.data());
    Record("EditAction " + std::to_string(number) + " = " + std::to_string(result));
    params.resize(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        params[i] = slots[i] != nullptr ? std::optional<std::string>(TakeCell(slots[i])) : std::nullopt;
    }
    return result != 0;
}

void Host::About() {
    api_.About();
    Record("About");
}

std::optional<std::string> Host::Variable(const std::string& name) const {
    auto found = Variables.find(name);
    if (found == Variables.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string Host::TakeCell(char*& cell) {
    std::string text = cell != nullptr ? cell : "";
    if (cell != nullptr) {
        system::Free(cell);
        cell = nullptr;
    }
    return text;
}

void Host::Record(std::string event) {
    if (Trace != nullptr) {
        *Trace << "  [host] " << system::ToUtf8(event) << std::endl;
    }
    Events.push_back(std::move(event));
}

void TARVIK_CALL Host::OnRegisterAction(std::int32_t number, const char* name,
                                        const char* description, const std::uint8_t* kinds,
                                        std::int32_t kindsHigh, std::int32_t count) {
    Host* host = current;
    if (host == nullptr) {
        return;
    }
    CatalogueCall call{number, name != nullptr ? name : "", description != nullptr ? description : "",
                       {}, kindsHigh, count};
    if (kinds != nullptr && kindsHigh >= 0) {
        call.kinds.assign(kinds, kinds + kindsHigh + 1);
    }
    host->Record("RegisterAction " + std::to_string(number) + " " + call.name);
    host->Catalogue.push_back(std::move(call));
}

void TARVIK_CALL Host::OnSetVariable(const char* name, const char* value) {
    Host* host = current;
    if (host == nullptr || name == nullptr) {
        return;
    }
    const char* text = value != nullptr ? value : "";
    host->Variables[name] = text;
    host->Record(std::string("SetVariable ") + name + "=" + text);
    if (host->AfterSetVariable) {
        host->AfterSetVariable();
    }
}

void TARVIK_CALL Host::OnScriptLine(const char* line) {
    if (current != nullptr && line != nullptr) {
        current->ScriptLine(line);
    }
}

void Host::ScriptLine(const std::string& line) {
    Record("Script " + line);
    std::string command;
    std::string argument;
    if (!ParseScriptLine(line, command, argument)) {
        return;
    }
    if (command == "ClearVariables") {
        Variables.erase(argument);
    } else if (command == "GoSub" && RunSubroutine) {
        RunSubroutine(argument);
    }
}

void TARVIK_CALL Host::OnInterfaceAccess(std::int32_t code, char** cell) {
    if (current != nullptr && cell != nullptr) {
        current->InterfaceAccess(code, cell);
    }
}

char* Host::Reply(const std::string& text) {
    char* block = HostBlock(text);
    Replies.emplace_back(block, text);
    return block;
}

void Host::InterfaceAccess(std::int32_t code, char** cell) {
    switch (code) {
        case 3:
        case 4:
            Record("Request " + std::to_string(code));
            *cell = Reply("");
            break;
        case 5:
            Record("Request 5");
            *cell = Reply(Join(Subroutines));
            break;
        case 6:
            Record("Request 6");
            if (Version) {
                *cell = Reply(*Version);
            }
            break;
        case 9:
            Messages.push_back(*cell != nullptr ? *cell : "");
            Record("Request 9 " + Messages.back());
            break;
        default:  // the pickers: the cell holds the current text, read-only
            Record("Request " + std::to_string(code) + " " + (*cell != nullptr ? *cell : ""));
            if (PickReply) {
                pickText_ = *PickReply;
                *cell = &pickText_[0];
            }
            break;
    }
}

}  // namespace tarvik::host
