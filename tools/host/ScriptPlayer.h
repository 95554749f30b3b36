// Plays a publication script against the plug-in, as the host would while a publication
// runs: one statement per line, the forms `ScriptStatements()` lists (and
// `tarvik-host --help` prints). A quoted argument is a text, in which "" stands for one
// double quote; a bare word passes the value of that variable (missing ones are empty).
// Inside a subroutine the same statements run, except sub.
//
// A script is checked whole before anything runs: a quote left open or run into the
// next word, a command the plug-in does not offer (with the nearest known name), a
// command given the wrong number of parameters, a key combination `press` cannot read.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Host.h"

namespace tarvik::host {

// One line of the script language's reference: a form and what it does.
struct StatementHelp {
    const char* word;  // the statement's own word; "" for lines that are no statement
    const char* form;
    const char* meaning;
};
const std::vector<StatementHelp>& ScriptStatements();

// The script language's reference, one line a statement, then the key names `press` reads.
void PrintScriptHelp(std::ostream& out);

class ScriptPlayer {
public:
    ScriptPlayer(Host& host, std::ostream& out);

    // Parses the script (in place of one loaded before) and defines its subroutines;
    // false with `error` set ("line 3: ...") on a line that cannot be read.
    bool Load(const std::string& text, std::string& error);
    // Checks every statement against the connected plug-in's catalogue; false with one
    // "line N: ..." per problem in `errors`.
    bool Check(std::string& errors) const;
    // Runs the statements outside subroutines, in order. False when a statement failed:
    // it is reported with its line and skipped.
    bool Run();

    const std::vector<std::string>& SubroutineNames() const { return names_; }

private:
    struct Statement {
        int line;
        std::string word;
        std::vector<std::string> arguments;  // quoted ones without their quotes
        std::vector<bool> quoted;
    };

    bool RunBlock(const std::vector<Statement>& block);
    void RunStatement(const Statement& statement);
    // What is wrong with the statement, or "" when it can run.
    std::string Problem(const Statement& statement) const;
    const CatalogueCall* Command(const std::string& name) const;
    std::vector<std::string> KnownWords() const;
    void Call(const CatalogueCall& entry, const Statement& statement);
    void Print(const Statement& statement);
    void Press(const Statement& statement);
    void Edit(const CatalogueCall& entry, const Statement& statement);
    // The parameters of a statement: quoted texts as they are, bare words as variables.
    std::vector<std::string> Parameters(const Statement& statement, std::string& shown) const;
    void GoSub(const std::string& name);

    Host& host_;
    std::ostream& out_;
    std::vector<Statement> main_;
    std::map<std::string, std::vector<Statement>, CaseInsensitiveLess> subroutines_;
    std::vector<std::string> names_;
    int depth_ = 0;
};

// Prints the first `count` slots after an edit: "  slot 1 = \"text\"" or "  slot 2 = null".
void PrintSlots(std::ostream& out, const std::vector<std::optional<std::string>>& slots,
                std::size_t count);

// Reads "Ctrl+Alt+F5" into modifier flags (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4,
// MOD_WIN 8) and a virtual-key code, for the host's own key presses. When it cannot,
// `error` (if given) says which part it does not know.
bool ParseKeys(const std::string& text, unsigned& modifiers, unsigned& key,
               std::string* error = nullptr);

// Of `names`, the one nearest to `word` by edit distance, ignoring case; "" when none is
// near enough to be a likely misspelling.
std::string NearestName(const std::string& word, const std::vector<std::string>& names);

}  // namespace tarvik::host
