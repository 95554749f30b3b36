// Plays a publication script against the plug-in, as the host would while a publication
// runs. The format, one statement per line:
//
//   # a comment                       (blank lines are ignored too)
//   sub NAME ... end                  defines a subroutine; the plug-in sees its name in
//                                     the host's list and may ask for it with GoSub
//   TarvikAdd "Ctrl+Alt+F5" "HK"      calls a plug-in command by its catalogue name; a
//   TarvikChange HK "Alt+F6" "HK"     quoted argument is a text, a bare word passes the
//                                     value of that variable (missing ones are empty)
//   print HK LastError "text"         prints variables (unquoted) and texts (quoted)
//   press "Ctrl+Alt+F5"               the user presses a combination; messages are pumped
//                                     until the host has heard from the plug-in
//   wait 5                            pumps messages for that many seconds (real presses)
//   edit TarvikAdd "Ctrl+Alt+F5" HK   opens the command's editor as the host does while an
//                                     author edits the script, with these parameters, and
//                                     prints the answer and every slot after it closes
//   about                             opens the plug-in's About box
//
// Inside a subroutine the same statements run, except sub.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Host.h"

namespace tarvik::host {

class ScriptPlayer {
public:
    ScriptPlayer(Host& host, std::ostream& out);

    // Parses the script and defines its subroutines; false with `error` set on a bad line.
    bool Load(const std::string& text, std::string& error);
    // Runs the statements outside subroutines, in order. False when a statement failed
    // (an unknown command, an unreadable key combination).
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
    bool RunStatement(const Statement& statement);
    bool Call(const Statement& statement);
    void Print(const Statement& statement);
    bool Press(const Statement& statement);
    bool Edit(const Statement& statement);
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
// MOD_WIN 8) and a virtual-key code, for the host's own key presses.
bool ParseKeys(const std::string& text, unsigned& modifiers, unsigned& key);

}  // namespace tarvik::host
