#include "ScriptPlayer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iomanip>
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

// Words are separated by spaces, and arguments may be by commas too, as the help page
// writes them: TarvikAdd "Ctrl+Alt+F5", "HK".
bool IsSeparator(char c) {
    return c == ',' || std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool IsNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// The rest of the word that starts at `from`.
std::string WordAt(const std::string& line, std::size_t from) {
    std::size_t end = from;
    while (end < line.size() && !IsSeparator(line[end])) {
        ++end;
    }
    return line.substr(from, end - from);
}

// Splits a line into words and "quoted texts", in which "" stands for one quote. A quote
// left open, a closing quote run into the next word, or a quote inside a bare word is an
// error: `error` says which.
bool Tokenize(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted,
              std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsSeparator(line[i])) {
            ++i;
        } else if (line[i] == '"') {
            std::string text;
            std::size_t next = i + 1;
            bool closed = false;
            while (next < line.size() && !closed) {
                if (line[next] == '"' && next + 1 < line.size() && line[next + 1] == '"') {
                    text += '"';
                    next += 2;
                } else if (line[next] == '"') {
                    closed = true;
                    ++next;
                } else {
                    text += line[next++];
                }
            }
            if (!closed) {
                error = "the quote before " + line.substr(i + 1) +
                        " is not closed (a quote inside a text is written \"\")";
                return false;
            }
            if (next < line.size() && !IsSeparator(line[next])) {
                error = "the text \"" + text + "\" runs into " + WordAt(line, next) +
                        " without a space or comma (a quote inside a text is written \"\")";
                return false;
            }
            words.push_back(text);
            quoted.push_back(true);
            i = next;
        } else {
            const std::string word = WordAt(line, i);
            if (word.find('"') != std::string::npos) {
                error = "a quote inside the word " + word +
                        " (a text starts with a quote after a space and ends with one)";
                return false;
            }
            words.push_back(word);
            quoted.push_back(false);
            i += word.size();
        }
    }
    return true;
}

struct NamedKey {
    const char* name;
    unsigned key;
};

// Matched without regard to case; listed by --help as written here.
constexpr NamedKey kNamedKeys[] = {
    {"Space", 0x20}, {"Enter", 0x0D}, {"Tab", 0x09},    {"Esc", 0x1B},   {"Backspace", 0x08},
    {"Insert", 0x2D}, {"Delete", 0x2E}, {"Home", 0x24}, {"End", 0x23},   {"Page Up", 0x21},
    {"Page Down", 0x22}, {"Left", 0x25}, {"Up", 0x26},  {"Right", 0x27}, {"Down", 0x28},
    {"Pause", 0x13}, {"Num +", 0x6B},  {"Num -", 0x6D}, {"Num *", 0x6A}, {"Volume Up", 0xAF},
};

constexpr NamedKey kModifierWords[] = {
    {"Ctrl", 2}, {"Control", 2}, {"Alt", 1}, {"Shift", 4}, {"Win", 8},
};

template <std::size_t N>
const NamedKey* FindKey(const NamedKey (&table)[N], const std::string& name) {
    for (const NamedKey& entry : table) {
        if (Upper(name) == Upper(entry.name)) {
            return &entry;
        }
    }
    return nullptr;
}

template <std::size_t N>
std::vector<std::string> KeyNames(const NamedKey (&table)[N]) {
    std::vector<std::string> names;
    for (const NamedKey& entry : table) {
        names.emplace_back(entry.name);
    }
    return names;
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& names) {
    const std::string nearest = NearestName(word, names);
    return nearest.empty() ? std::string() : "; did you mean " + nearest + "?";
}

const char kKeyList[] = "A-Z, 0-9, F1-F24";

// Reads the key of a combination, its last piece; what is wrong with it, or "".
std::string ReadKey(const std::string& piece, unsigned& key) {
    const std::string name = Upper(piece);
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        key = static_cast<unsigned char>(name[0]);
        return "";
    }
    if (name.size() >= 2 && name[0] == 'F' && IsNumber(name.substr(1))) {
        const int number = std::atoi(name.c_str() + 1);
        key = number >= 1 && number <= 24 ? 0x6F + static_cast<unsigned>(number) : 0;
        return key != 0 ? "" : piece + " is no function key (F1-F24)";
    }
    if (const NamedKey* named = FindKey(kNamedKeys, name)) {
        key = named->key;
        return "";
    }
    if (FindKey(kModifierWords, name) != nullptr) {
        return "a key must follow the modifier " + piece;
    }
    if (name.empty()) {
        return "no key is named";
    }
    return piece + " is not a key name press knows (" + kKeyList +
           ", Space, Enter, ... as --help lists)" + Suggestion(piece, KeyNames(kNamedKeys));
}

}  // namespace

const std::vector<StatementHelp>& ScriptStatements() {
    static const std::vector<StatementHelp> statements = {
        {"", "# TEXT", "a comment (blank lines are skipped too)"},
        {"", "COMMAND ARG...",
         "calls a plug-in command by its catalogue name with all its parameters: TarvikAdd \"Ctrl+Alt+F5\" \"HK\""},
        {"sub", "sub NAME", "starts a subroutine, listed to the plug-in, which may run it with GoSub"},
        {"end", "end", "ends the subroutine; inside one every statement but sub may stand"},
        {"print", "print ARG...", "prints variables (bare words) with their values, and texts (quoted)"},
        {"press", "press \"KEYS\"", "the user presses a combination; waits until the plug-in calls the host (2 s at most)"},
        {"wait", "wait [SECONDS]", "pumps messages that long (default 1), for presses made by hand"},
        {"edit", "edit COMMAND ARG...",
         "opens the command's editor with these parameters, as while an author edits a script, and prints every slot after it closes"},
        {"about", "about", "opens the plug-in's About box"},
    };
    return statements;
}

void PrintScriptHelp(std::ostream& out) {
    out << "Script statements, one per line:\n";
    for (const StatementHelp& statement : ScriptStatements()) {
        out << "  " << std::left << std::setw(22) << statement.form << statement.meaning << "\n";
    }
    out << "Arguments, separated by spaces or commas: \"a text\" as it stands (\"\" inside it is one double quote); a bare word is "
           "that variable's value, empty when unset.\n";
    out << "Keys for press: modifiers (";
    for (const NamedKey& word : kModifierWords) {
        out << (&word == kModifierWords ? "" : ", ") << word.name;
    }
    out << ") joined with + to one key: " << kKeyList;
    for (const NamedKey& named : kNamedKeys) {
        out << ", " << named.name;
    }
    out << ".\n";
}

std::string NearestName(const std::string& word, const std::vector<std::string>& names) {
    const std::string a = Upper(word);
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(1, a.size() / 3) + 1;
    for (const std::string& name : names) {
        // Edits from a to b, a swap of two neighbours counting as one (optimal string
        // alignment): d[i][j] turns the first i letters of a into the first j of b.
        const std::string b = Upper(name);
        std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
        for (std::size_t i = 0; i <= a.size(); ++i) {
            for (std::size_t j = 0; j <= b.size(); ++j) {
                if (i == 0 || j == 0) {
                    d[i][j] = i + j;
                    continue;
                }
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                    d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
                }
            }
        }
        if (d[a.size()][b.size()] < bestDistance) {
            bestDistance = d[a.size()][b.size()];
            best = name;
        }
    }
    return best;
}

bool ParseKeys(const std::string& text, unsigned& modifiers, unsigned& key, std::string* error) {
    modifiers = 0;
    key = 0;
    std::string problem;
    std::vector<std::string> pieces;
    std::stringstream stream(text);
    for (std::string piece; std::getline(stream, piece, '+');) {
        pieces.push_back(piece);
    }
    if (!text.empty() && text.back() == '+' && !pieces.empty()) {
        pieces.back() += "+";  // "Num +"
    }
    for (std::size_t i = 0; i + 1 < pieces.size() && problem.empty(); ++i) {
        if (const NamedKey* word = FindKey(kModifierWords, pieces[i])) {
            modifiers |= word->key;
        } else {
            problem = pieces[i] + " is not a modifier (Ctrl, Alt, Shift, Win)" +
                      Suggestion(pieces[i], KeyNames(kModifierWords));
        }
    }
    if (problem.empty()) {
        problem = pieces.empty() ? std::string("no key is named") : ReadKey(pieces.back(), key);
    }
    if (!problem.empty()) {
        modifiers = 0;
        key = 0;
    }
    if (error != nullptr) {
        *error = problem;
    }
    return problem.empty();
}

ScriptPlayer::ScriptPlayer(Host& host, std::ostream& out) : host_(host), out_(out) {
    host_.RunSubroutine = [this](const std::string& name) { GoSub(name); };
}

bool ScriptPlayer::Load(const std::string& text, std::string& error) {
    main_.clear();
    subroutines_.clear();
    names_.clear();
    std::stringstream stream(text);
    std::vector<Statement>* target = &main_;
    std::string current;
    std::map<std::string, int, CaseInsensitiveLess> defined;  // subroutine, its line
    int number = 0;
    const auto fail = [&](const std::string& problem) {
        error = "line " + std::to_string(number) + ": " + problem;
        return false;
    };
    for (std::string line; std::getline(stream, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        Statement statement{number, {}, {}, {}};
        std::vector<std::string> words;
        std::string problem;
        if (!Tokenize(line, words, statement.quoted, problem)) {
            return fail(problem);
        }
        statement.word = words[0];
        statement.arguments.assign(words.begin() + 1, words.end());
        statement.quoted.erase(statement.quoted.begin());
        if (statement.word == "sub") {
            if (target != &main_) {
                return fail("sub inside the subroutine " + current + " (each sub closes with end)");
            }
            if (statement.arguments.size() != 1) {
                return fail("sub takes one name, as in sub OnHotkey");
            }
            current = statement.arguments[0];
            if (!defined.emplace(current, number).second) {
                return fail("the subroutine " + current + " is defined already, on line " +
                            std::to_string(defined[current]));
            }
            names_.push_back(current);
            target = &subroutines_[current];
        } else if (statement.word == "end") {
            if (target == &main_) {
                return fail("end without sub");
            }
            target = &main_;
        } else {
            target->push_back(statement);
        }
    }
    if (target != &main_) {
        number = defined[current];
        return fail("the subroutine " + current + " has no end");
    }
    host_.Subroutines = names_;
    return true;
}

bool ScriptPlayer::Check(std::string& errors) const {
    errors.clear();
    const auto check = [&](const std::vector<Statement>& block) {
        for (const Statement& statement : block) {
            const std::string problem = Problem(statement);
            if (!problem.empty()) {
                errors += (errors.empty() ? "" : "\n") + std::string("line ") +
                          std::to_string(statement.line) + ": " + problem;
            }
        }
    };
    check(main_);
    for (const auto& subroutine : subroutines_) {
        check(subroutine.second);
    }
    return errors.empty();
}

bool ScriptPlayer::Run() {
    return RunBlock(main_);
}

bool ScriptPlayer::RunBlock(const std::vector<Statement>& block) {
    bool ok = true;
    for (const Statement& statement : block) {
        const std::string problem = Problem(statement);
        if (!problem.empty()) {
            out_ << "line " << statement.line << ": " << problem << std::endl;
            ok = false;
        } else {
            RunStatement(statement);
        }
    }
    return ok;
}

const CatalogueCall* ScriptPlayer::Command(const std::string& name) const {
    for (const CatalogueCall& entry : host_.Catalogue) {
        if (entry.number != 0 && entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::string> ScriptPlayer::KnownWords() const {
    std::vector<std::string> words;
    for (const StatementHelp& statement : ScriptStatements()) {
        if (*statement.word != '\0') {
            words.emplace_back(statement.word);
        }
    }
    for (const CatalogueCall& entry : host_.Catalogue) {
        if (entry.number != 0) {
            words.push_back(entry.name);
        }
    }
    return words;
}

std::string ScriptPlayer::Problem(const Statement& statement) const {
    const std::string& word = statement.word;
    const std::size_t count = statement.arguments.size();
    const auto parameters = [](const CatalogueCall& entry) {
        return entry.name + " takes " + std::to_string(entry.count) +
               (entry.count == 1 ? " parameter" : " parameters");
    };
    if (word == "print") {
        return "";
    }
    if (word == "press") {
        unsigned modifiers = 0;
        unsigned key = 0;
        std::string why;
        if (count != 1) {
            return "press takes one key combination, as in press \"Ctrl+Alt+F5\"";
        }
        return ParseKeys(statement.arguments[0], modifiers, key, &why) ? "" : "press: " + why;
    }
    if (word == "wait") {
        return count == 0 || (count == 1 && IsNumber(statement.arguments[0]) &&
                              statement.arguments[0].size() <= 4)
                   ? ""
                   : "wait takes a number of seconds up to 9999, as in wait 5";
    }
    if (word == "about") {
        return count == 0 ? "" : "about takes no parameters";
    }
    if (word == "edit") {
        if (count == 0) {
            return "edit names a command, as in edit TarvikAdd \"Ctrl+Alt+F5\" \"HK\"";
        }
        const CatalogueCall* entry = Command(statement.arguments[0]);
        if (entry == nullptr) {
            return "edit: the plug-in has no command " + statement.arguments[0] +
                   Suggestion(statement.arguments[0], KnownWords());
        }
        return count - 1 <= static_cast<std::size_t>(std::max(entry->count, 0))
                   ? ""
                   : "edit: " + parameters(*entry) + ", not " + std::to_string(count - 1);
    }
    const CatalogueCall* entry = Command(word);
    if (entry == nullptr) {
        return "unknown command " + word + Suggestion(word, KnownWords());
    }
    return count == static_cast<std::size_t>(std::max(entry->count, 0))
               ? ""
               : parameters(*entry) + ", not " + std::to_string(count);
}

void ScriptPlayer::RunStatement(const Statement& statement) {
    if (statement.word == "print") {
        Print(statement);
    } else if (statement.word == "press") {
        Press(statement);
    } else if (statement.word == "wait") {
        const int seconds = statement.arguments.empty() ? 1 : std::atoi(statement.arguments[0].c_str());
        out_ << "wait " << seconds << " s for key presses" << std::endl;
        system::PumpMessages(seconds * 1000);
    } else if (statement.word == "edit") {
        Edit(*Command(statement.arguments[0]), statement);
    } else if (statement.word == "about") {
        out_ << "about" << std::endl;
        host_.About();
    } else {
        Call(*Command(statement.word), statement);
    }
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

void ScriptPlayer::Edit(const CatalogueCall& entry, const Statement& statement) {
    Statement command = statement;
    command.word = statement.arguments[0];
    command.arguments.erase(command.arguments.begin());
    command.quoted.erase(command.quoted.begin());
    std::string shown;
    std::vector<std::optional<std::string>> slots;
    for (std::string& text : Parameters(command, shown)) {
        slots.emplace_back(std::move(text));
    }
    const std::size_t count = static_cast<std::size_t>(std::max(entry.count, 0));
    slots.resize(count);
    out_ << "edit " << command.word << system::ToUtf8(shown) << std::endl;
    const bool result = host_.Edit(entry.number, slots);
    out_ << "  = " << (result ? "true" : "false") << std::endl;
    PrintSlots(out_, slots, count);
}

void PrintSlots(std::ostream& out, const std::vector<std::optional<std::string>>& slots,
                std::size_t count) {
    for (std::size_t i = 0; i < count && i < slots.size(); ++i) {
        out << "  slot " << i + 1 << " = "
            << (slots[i] ? "\"" + system::ToUtf8(*slots[i]) + "\"" : std::string("null"))
            << std::endl;
    }
}

void ScriptPlayer::Call(const CatalogueCall& entry, const Statement& statement) {
    std::string shown;
    std::vector<std::string> parameters = Parameters(statement, shown);
    parameters.resize(std::max<std::size_t>(parameters.size(), 3));
    out_ << "> " << statement.word << system::ToUtf8(shown) << std::endl;
    const bool result = host_.Exec(entry.number, parameters);
    out_ << "  = " << (result ? "true" : "false") << std::endl;
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

void ScriptPlayer::Press(const Statement& statement) {
    unsigned modifiers = 0;
    unsigned key = 0;
    ParseKeys(statement.arguments[0], modifiers, key);
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
}

void ScriptPlayer::GoSub(const std::string& name) {
    constexpr int kDeepest = 16;
    auto found = subroutines_.find(name);
    if (found == subroutines_.end()) {
        out_ << "  [no subroutine " << name << "]" << std::endl;
        return;
    }
    if (depth_ > kDeepest) {
        out_ << "  [sub " << name << " not run: " << kDeepest << " subroutines deep already]" << std::endl;
        return;
    }
    out_ << "  [sub " << name << "]" << std::endl;
    ++depth_;
    RunBlock(found->second);
    --depth_;
    out_ << "  [end " << name << "]" << std::endl;
}

}  // namespace tarvik::host
