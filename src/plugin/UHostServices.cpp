#include "plugin/UHostServices.h"

#include <cctype>
#include <cstring>

#include "base/UTextUtils.h"
#include "platform/Platform.h"
#include "resources/Strings.h"

namespace tarvik::plugin {

using platform::Os;

namespace {

constexpr const char kGoSubFormat[] = "GoSub \"";
constexpr const char kClearVariablesFormat[] = "ClearVariables \"";

// A script line carries its argument between double quotes; a quote or a line break in
// the argument would end the line early and let the rest run as further script.
bool IsSafeScriptArgument(const std::string& argument) {
    return argument.find_first_of("\"\r\n") == std::string::npos;
}

// Sends one formatted script line; a null processor or an unsafe argument sends nothing.
bool SendScriptLine(const char* prefix, const std::string& argument) {
    TScriptProcessorProc proc = Callbacks().ScriptProcessorProc;
    if (proc == nullptr || !IsSafeScriptArgument(argument)) {
        return false;
    }
    const std::string line = prefix + argument + "\"";
    proc(line.c_str());
    return true;
}

// A host text variable that the library fills for one interface request and always
// releases afterwards, whatever happens in between.
class RequestCell {
public:
    RequestCell() = default;
    ~RequestCell() { FreeHostText(&text_); }
    RequestCell(const RequestCell&) = delete;
    RequestCell& operator=(const RequestCell&) = delete;

    char** Address() { return &text_; }
    std::string Text() const { return text_ != nullptr ? std::string(text_) : std::string(); }

private:
    char* text_ = nullptr;
};

}  // namespace

HostCallbacks& Callbacks() {
    static HostCallbacks callbacks;
    return callbacks;
}

int ListRequestCode(THostListKind kind) {
    static constexpr int kCodes[] = {3, 5, 4};
    return kCodes[static_cast<int>(kind)];
}

int PickerRequestCode(THostPickerKind kind) {
    static constexpr int kCodes[] = {2, 14, 13, 1, 8, 10};
    return kCodes[static_cast<int>(kind)];
}

void SetHostVariable(const std::string& name, const std::string& value) {
    TSetVariableProc proc = Callbacks().SetVariableProc;
    if (proc == nullptr || base::Trim(name).empty()) {
        return;
    }
    proc(name.c_str(), value.c_str());
}

void ClearHostVariables(const std::string& names) {
    SendScriptLine(kClearVariablesFormat, names);
}

bool HostSubroutineExists(const std::string& name) {
    const std::string wanted = base::Trim(name);
    if (wanted.empty()) {
        return false;
    }
    std::vector<std::string> subroutines;
    GetHostList(THostListKind::Subroutines, subroutines);
    for (const std::string& entry : subroutines) {
        if (Os().EqualIgnoreCase(entry, wanted)) {
            return true;
        }
    }
    return false;
}

bool RunHostSubroutine(const std::string& name) {
    if (!HostSubroutineExists(name)) {
        return false;
    }
    return SendScriptLine(kGoSubFormat, name);
}

void AssignHostText(char** cell, const std::string& text) {
    if (cell == nullptr) {
        return;
    }
    FreeHostText(cell);
    // The text runs to its first zero byte, as the host will read it.
    const std::size_t length = std::strlen(text.c_str());
    void* block = Os().GlobalAlloc(length + 1);
    if (block == nullptr) {
        return;  // the cell stays null
    }
    std::memcpy(block, text.c_str(), length + 1);
    *cell = static_cast<char*>(block);
}

void FreeHostText(char** cell) {
    if (cell == nullptr) {
        return;
    }
    // Only a block that the global allocator knows as one of its own fixed blocks is
    // released. Whatever else a host left in the cell (a static text, a block of its
    // own heap) stays as it is: a leak is better than a corrupted heap.
    platform::Platform& os = Os();
    if (*cell != nullptr && os.IsGlobalFixedBlock(*cell)) {
        os.GlobalFree(*cell);
    }
    *cell = nullptr;
}

std::string EscapeQuotes(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '"') {
            result += "[#34]";
        } else {
            result += c;
        }
    }
    return result;
}

bool ShellOpen(const std::string& fileName, const std::string& parameters, int showCommand) {
    platform::Platform& os = Os();
    return os.ShellOpen(os.ActiveWindow(), fileName, parameters, showCommand) > 32;
}

void GetHostVersion(std::string& version) {
    TInterfaceAccessProc proc = Callbacks().InterfaceAccessProc;
    if (proc == nullptr) {
        return;
    }
    RequestCell cell;
    proc(kRequestHostVersion, cell.Address());
    if (*cell.Address() != nullptr) {
        version = cell.Text();
    }
}

bool IsHostVersion5OrLater() {
    std::string version;
    GetHostVersion(version);
    // The major number is the run of digits at the start; anything else counts as old.
    unsigned long major = 0;
    std::size_t digits = 0;
    for (char c : version) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            break;
        }
        if (major < 1000000) {
            major = major * 10 + static_cast<unsigned long>(c - '0');
        }
        ++digits;
    }
    return digits > 0 && major >= 5;
}

void ShowHostMessage(const std::string& text) {
    TInterfaceAccessProc proc = Callbacks().InterfaceAccessProc;
    if (proc == nullptr) {
        return;
    }
    RequestCell cell;
    AssignHostText(cell.Address(), text);
    if (*cell.Address() == nullptr) {
        return;  // no copy of the message could be made: there is nothing to show
    }
    proc(kRequestShowMessage, cell.Address());
}

void GetHostList(THostListKind kind, std::vector<std::string>& list) {
    TInterfaceAccessProc proc = Callbacks().InterfaceAccessProc;
    if (proc == nullptr) {
        return;
    }
    list.clear();
    RequestCell cell;
    proc(ListRequestCode(kind), cell.Address());
    for (const std::string& part : SplitText("\r", cell.Text())) {
        std::string entry = base::Trim(part);
        if (!entry.empty()) {
            list.push_back(std::move(entry));
        }
    }
}

void PickFromHost(THostPickerKind kind, const std::string& current, std::string& result) {
    result.clear();
    const bool needsVersion5 = kind == THostPickerKind::Variable || kind == THostPickerKind::Kind2;
    if (!IsHostVersion5OrLater() && needsVersion5) {
        ShowHostMessage(Os().LoadText(resources::IDS_HOST_VERSION_MESSAGE));
        return;
    }
    TInterfaceAccessProc proc = Callbacks().InterfaceAccessProc;
    if (proc == nullptr) {
        return;
    }
    // The host reads our copy and may point the cell at a text of its own; it neither
    // releases nor changes ours, and we release nothing of its.
    std::string copy = current;
    char* cell = &copy[0];
    proc(PickerRequestCode(kind), &cell);
    if (cell != nullptr) {
        result = cell;
    }
}

std::vector<std::string> SplitText(const std::string& separator, const std::string& text) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.push_back(text);
        return parts;
    }
    std::size_t start = 0;
    for (std::size_t found = text.find(separator); found != std::string::npos;
         found = text.find(separator, start)) {
        parts.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string Param(char** params, int index) {
    if (params == nullptr || params[index] == nullptr) {
        return std::string();
    }
    return std::string(params[index]);
}

}  // namespace tarvik::plugin
