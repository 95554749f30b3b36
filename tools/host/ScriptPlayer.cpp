#include "ScriptPlayer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "PluginApi.h"

namespace tarvik::host {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Splits a line into words and "quoted texts"; false when a quote is left open.
bool Tokenize(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        } else if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                return false;
            }
            words.push_back(line.substr(i + 1, close - i - 1));
            quoted.push_back(true);
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) {
                ++end;
            }
            words.push_back(line.substr(i, end - i));
            quoted.push_back(false);
            i = end;
        }
    }
    return true;
}

struct NamedKey {
    const char* name;
    unsigned key;
};

constexpr NamedKey kNamedKeys[] = {
    {"SPACE", 0x20}, {"ENTER", 0x0D}, {"TAB", 0x09},    {"ESC", 0x1B},   {"BACKSPACE", 0x08},
    {"INSERT", 0x2D}, {"DELETE", 0x2E}, {"HOME", 0x24}, {"END", 0x23},   {"PAGE UP", 0x21},
    {"PAGE DOWN", 0x22}, {"LEFT", 0x25}, {"UP", 0x26},  {"RIGHT", 0x27}, {"DOWN", 0x28},
    {"PAUSE", 0x13}, {"NUM +", 0x6B},  {"NUM -", 0x6D}, {"NUM *", 0x6A}, {"VOLUME UP", 0xAF},
};

constexpr NamedKey kModifierWords[] = {
    {"CTRL", 2}, {"CONTROL", 2}, {"ALT", 1}, {"SHIFT", 4}, {"WIN", 8},
};

}  // namespace

bool ParseKeys(const std::string& text, unsigned& modifiers, unsigned& key) {
    modifiers = 0;
    key = 0;
    std::vector<std::string> pieces;
    std::stringstream stream(text);
    for (std::string piece; std::getline(stream, piece, '+');) {
        pieces.push_back(Upper(piece));
    }
    if (!text.empty() && text.back() == '+' && !pieces.empty()) {
        pieces.back() += "+";  // "Num +"
    }
    if (pieces.empty()) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        bool known = false;
        for (const NamedKey& word : kModifierWords) {
            if (pieces[i] == word.name) {
                modifiers |= word.key;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    const std::string& last = pieces.back();
    if (last.size() == 1 && std::isalnum(static_cast<unsigned char>(last[0]))) {
        key = static_cast<unsigned char>(last[0]);
    } else if (last.size() >= 2 && last[0] == 'F' && std::isdigit(static_cast<unsigned char>(last[1]))) {
        const int number = std::atoi(last.c_str() + 1);
        key = number >= 1 && number <= 24 ? 0x6F + static_cast<unsigned>(number) : 0;
    } else {
        for (const NamedKey& named : kNamedKeys) {
            if (last == named.name) {
                key = named.key;
            }
        }
    }
    return key != 0;
}

ScriptPlayer::ScriptPlayer(Host& host, std::ostream& out) : host_(host), out_(out) {
    host_.RunSubroutine = [this](const std::string& name) { GoSub(name); };
}

bool ScriptPlayer::Load(const std::string& text, std::string& error) {
    std::stringstream stream(text);
    std::vector<Statement>* target = &main_;
    std::string current;
    int number = 0;
    for (std::string line; std::getline(stream, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Statement statement{number, {}, {}, {}};
        std::vector<std::string> words;
        if (!Tokenize(line, words, statement.quoted)) {
            error = "line " + std::to_string(number) + ": a quote is not closed";
            return false;
        }
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        statement.word = words[0];
        statement.arguments.assign(words.begin() + 1, words.end());
        statement.quoted.erase(statement.quoted.begin());
        if (statement.word == "sub") {
            if (target != &main_ || statement.arguments.size() != 1) {
                error = "line " + std::to_string(number) + ": sub takes one name, outside other subs";
                return false;
            }
            current = statement.arguments[0];
            names_.push_back(current);
            target = &subroutines_[current];
        } else if (statement.word == "end") {
            if (target == &main_) {
                error = "line " + std::to_string(number) + ": end without sub";
                return false;
            }
            target = &main_;
        } else {
            target->push_back(statement);
        }
    }
    if (target != &main_) {
        error = "subroutine " + current + " has no end";
        return false;
    }
    host_.Subroutines = names_;
    return true;
}

bool ScriptPlayer::Run() {
    return RunBlock(main_);
}

bool ScriptPlayer::RunBlock(const std::vector<Statement>& block) {
    bool ok = true;
    for (const Statement& statement : block) {
        if (!RunStatement(statement)) {
            out_ << "line " << statement.line << ": cannot run '" << statement.word << "'" << std::endl;
            ok = false;
        }
    }
    return ok;
}

bool ScriptPlayer::RunStatement(const Statement& statement) {
    if (statement.word == "print") {
        Print(statement);
        return true;
    }
    if (statement.word == "press") {
        return Press(statement);
    }
    if (statement.word == "wait") {
        const int seconds = statement.arguments.empty() ? 1 : std::atoi(statement.arguments[0].c_str());
        out_ << "wait " << seconds << " s for key presses" << std::endl;
        system::PumpMessages(seconds * 1000);
        return true;
    }
    if (statement.word == "edit") {
        return Edit(statement);
    }
    if (statement.word == "about") {
        out_ << "about" << std::endl;
        host_.About();
        return true;
    }
    return Call(statement);
}

std::vector<std::string> ScriptPlayer::Parameters(const Statement& statement,
                                                  std::string& shown) const {
    std::vector<std::string> parameters;
    for (std::size_t i = 0; i < statement.arguments.size(); ++i) {
        const std::string& argument = statement.arguments[i];
        parameters.push_back(statement.quoted[i] ? argument : host_.Variable(argument).value_or(""));
        shown += " \"" + parameters.back() + "\"";
    }
    return parameters;
}

bool ScriptPlayer::Edit(const Statement& statement) {
    if (statement.arguments.empty()) {
        return false;
    }
    Statement command = statement;
    command.word = statement.arguments[0];
    command.arguments.erase(command.arguments.begin());
    command.quoted.erase(command.quoted.begin());
    for (const CatalogueCall& entry : host_.Catalogue) {
        if (entry.number != 0 && entry.name == command.word) {
            std::string shown;
            std::vector<std::optional<std::string>> slots;
            for (std::string& text : Parameters(command, shown)) {
                slots.emplace_back(std::move(text));
            }
            slots.resize(static_cast<std::size_t>(std::max(entry.count, 0)));
            out_ << "edit " << command.word << system::ToUtf8(shown) << std::endl;
            const bool result = host_.Edit(entry.number, slots);
            out_ << "  = " << (result ? "true" : "false") << std::endl;
            PrintSlots(out_, slots, static_cast<std::size_t>(std::max(entry.count, 0)));
            return true;
        }
    }
    return false;
}

void PrintSlots(std::ostream& out, const std::vector<std::optional<std::string>>& slots,
                std::size_t count) {
    for (std::size_t i = 0; i < count && i < slots.size(); ++i) {
        out << "  slot " << i + 1 << " = "
            << (slots[i] ? "\"" + system::ToUtf8(*slots[i]) + "\"" : std::string("null"))
            << std::endl;
    }
}

bool ScriptPlayer::Call(const Statement& statement) {
    for (const CatalogueCall& entry : host_.Catalogue) {
        if (entry.number != 0 && entry.name == statement.word) {
            // Quoted arguments are texts; a bare word passes that variable's value.
            std::string shown;
            std::vector<std::string> parameters = Parameters(statement, shown);
            parameters.resize(std::max<std::size_t>(parameters.size(), 3));
            out_ << "> " << statement.word << system::ToUtf8(shown) << std::endl;
            const bool result = host_.Exec(entry.number, parameters);
            out_ << "  = " << (result ? "true" : "false") << std::endl;
            return true;
        }
    }
    return false;
}

void ScriptPlayer::Print(const Statement& statement) {
    out_ << "print:";
    for (std::size_t i = 0; i < statement.arguments.size(); ++i) {
        const std::string& argument = statement.arguments[i];
        if (statement.quoted[i]) {
            out_ << " " << argument;
        } else {
            const auto value = host_.Variable(argument);
            out_ << " " << argument << "="
                 << (value ? "\"" + system::ToUtf8(*value) + "\"" : std::string("(unset)"));
        }
    }
    out_ << std::endl;
}

bool ScriptPlayer::Press(const Statement& statement) {
    unsigned modifiers = 0;
    unsigned key = 0;
    if (statement.arguments.size() != 1 || !ParseKeys(statement.arguments[0], modifiers, key)) {
        return false;
    }
    out_ << "press " << statement.arguments[0] << std::endl;
    const std::size_t before = host_.Events.size();
    if (!system::PressKeys(modifiers, key)) {
        out_ << "  (the key press could not be sent)" << std::endl;
    }
    struct Wait {
        const Host& host;
        std::size_t before;
    } wait{host_, before};
    system::PumpMessages(
        2000, [](void* context) {
            const auto* w = static_cast<const Wait*>(context);
            return w->host.Events.size() > w->before;
        },
        &wait);
    // Let the rest of the same press arrive, then report silence if nothing came.
    system::PumpMessages(200);
    if (host_.Events.size() == before) {
        out_ << "  (no call from the plug-in)" << std::endl;
    }
    return true;
}

void ScriptPlayer::GoSub(const std::string& name) {
    auto found = subroutines_.find(name);
    if (found == subroutines_.end() || depth_ > 16) {
        return;
    }
    out_ << "  [sub " << name << "]" << std::endl;
    ++depth_;
    RunBlock(found->second);
    --depth_;
    out_ << "  [end " << name << "]" << std::endl;
}

}  // namespace tarvik::host
