// tarvik-host: loads the plug-in and plays a publication script against it, printing
// every call the plug-in makes into the host, or opens one of its dialogs as the host
// does while an author edits a script. `tarvik-host --help` lists the options (the
// table below) and the script statements (ScriptPlayer.h).
//
// Under Windows (and Wine) --dll names TarvikD.lmp (default: beside this program);
// natively the plug-in's code is linked in and runs against the in-memory platform.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Host.h"
#include "HostDesktop.h"
#include "PluginApi.h"
#include "ScriptPlayer.h"

namespace {

struct Options {
    std::string dll = "TarvikD.lmp";
    std::string script;
    bool help = false;
    bool about = false;
    bool highContrast = false;
    int edit = 0;  // command number; 0: no edit
    std::vector<std::optional<std::string>> editTexts;
    // The host's answers, set on the host once the plug-in is loaded.
    std::vector<std::string> subroutines;
    std::optional<std::string> pickReply;
    std::optional<std::string> version;
    tarvik::host::DialogWatch watch;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        if (!item.empty()) {
            items.push_back(item);
        }
    }
    return items;
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// One option: its name, the value it takes ("" for none), one line of help, and what it
// does with the value; an error text, or "".
struct OptionForm {
    const char* name;
    const char* value;
    const char* meaning;
    std::string (*apply)(Options& options, const std::string& value);
};

const OptionForm kOptions[] = {
    {"--dll", "PATH", "the plug-in to load (default: TarvikD.lmp beside this program; natively it is linked in)",
     [](Options& o, const std::string& v) { o.dll = v; return std::string(); }},
    {"--subs", "A,B,C", "subroutines the host lists to the plug-in (request 5), after a script's own",
     [](Options& o, const std::string& v) { o.subroutines = SplitList(v); return std::string(); }},
    {"--pick", "TEXT", "what the host's pickers answer (default: the field keeps its own text)",
     [](Options& o, const std::string& v) { o.pickReply = v; return std::string(); }},
    {"--version", "V", "the host's version (request 6; default 5.0)",
     [](Options& o, const std::string& v) { o.version = v; return std::string(); }},
    {"--close", "ok|cancel", "closes each dialog with OK or Cancel after --after milliseconds",
     [](Options& o, const std::string& v) {
         using Close = tarvik::host::DialogWatch::Close;
         o.watch.close = v == "ok" ? Close::Ok : Close::Cancel;
         return v == "ok" || v == "cancel" ? std::string() : "ok or cancel, not " + v;
     }},
    {"--after", "MS", "how long a dialog stays open before --close closes it (default 1500)",
     [](Options& o, const std::string& v) {
         if (!IsNumber(v) || v.size() > 7) {
             return "a number of milliseconds, not " + v;
         }
         o.watch.afterMilliseconds = std::atoi(v.c_str());
         return std::string();
     }},
    {"--ready-file", "PATH", "writes \"left top right bottom\" of each dialog there once it shows",
     [](Options& o, const std::string& v) { o.watch.readyFile = v; return std::string(); }},
    {"--edit", "N [TEXT...]",
     "opens the editor of command N with these parameter texts (--null: a null slot); the last option",
     [](Options& o, const std::string& v) {
         o.edit = IsNumber(v) && v.size() <= 9 ? std::atoi(v.c_str()) : 0;
         return o.edit > 0 ? std::string() : "a command number, not " + v;
     }},
    {"--about", "", "opens the plug-in's About box",
     [](Options& o, const std::string&) { o.about = true; return std::string(); }},
    {"--high-contrast", "", "the plug-in finds the system's high-contrast mode on (Wine always says off)",
     [](Options& o, const std::string&) { o.highContrast = true; return std::string(); }},
    {"--help", "", "prints this help",
     [](Options& o, const std::string&) { o.help = true; return std::string(); }},
};

void PrintHelp(std::ostream& out) {
    out << "usage: tarvik-host [OPTIONS] SCRIPT               plays a publication script, printing every call\n"
           "                                                 the plug-in makes into the host\n"
           "       tarvik-host [OPTIONS] --edit N [TEXT...]   opens the editor of command N\n"
           "       tarvik-host [OPTIONS] --about              opens the About box\n"
           "Options:\n";
    for (const OptionForm& option : kOptions) {
        const std::string form = std::string(option.name) + (*option.value ? " " : "") + option.value;
        out << "  " << std::left << std::setw(22) << form << option.meaning << "\n";
    }
    tarvik::host::PrintScriptHelp(out);
    out << "Exit status: 0 done, 1 the plug-in did not load or a statement failed, 2 a bad command\n"
           "line or script (nothing was run).\n";
}

// Reads the command line into `options`; what is wrong with it, or "".
std::string ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            if (!options.script.empty()) {
                return "one script at a time: " + options.script + " and " + argument;
            }
            options.script = argument;
            continue;
        }
        const auto form = std::find_if(std::begin(kOptions), std::end(kOptions),
                                       [&](const OptionForm& f) { return argument == f.name; });
        if (form == std::end(kOptions)) {
            std::vector<std::string> names;
            for (const OptionForm& option : kOptions) {
                names.emplace_back(option.name);
            }
            const std::string nearest = tarvik::host::NearestName(argument, names);
            return "unknown option " + argument + (nearest.empty() ? "" : "; did you mean " + nearest + "?");
        }
        std::string value;
        if (*form->value != '\0') {
            if (i + 1 >= argc) {
                return argument + " takes " + form->value;
            }
            value = argv[++i];
        }
        const std::string error = form->apply(options, value);
        if (!error.empty()) {
            return argument + " takes " + error;
        }
        if (argument == "--edit") {
            while (i + 1 < argc) {
                const std::string text = argv[++i];
                options.editTexts.push_back(text == "--null" ? std::nullopt
                                                             : std::optional<std::string>(text));
            }
        }
    }
    const int modes = int(options.about) + int(options.edit != 0) + int(!options.script.empty());
    if (options.help || modes == 1) {
        return "";
    }
    return modes == 0 ? "nothing to do: give a SCRIPT, --edit N or --about"
                      : "one of SCRIPT, --edit N and --about at a time";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvik::host;
    Options options;
    const std::string usageError = ReadOptions(argc, argv, options);
    if (options.help) {
        PrintHelp(std::cout);
        return 0;
    }
    if (!usageError.empty()) {
        std::cerr << "tarvik-host: " << usageError << " (tarvik-host --help lists the options)"
                  << std::endl;
        return 2;
    }
    std::string script;
    if (!options.script.empty()) {
        std::ifstream file(options.script, std::ios::binary);
        if (!file) {
            std::cerr << "cannot read " << options.script << std::endl;
            return 2;
        }
        std::stringstream text;
        text << file.rdbuf();
        script = text.str();
    }

    std::string error;
#if defined(_WIN32) && defined(__i386__)
    system::OnCallingConventionFault(
        [](const std::string& fault) { std::cerr << "calling convention: " << fault << std::endl; });
#endif
    auto library = PluginLibrary::Load(options.dll, error);
    if (library == nullptr) {
        std::cerr << "cannot load " << options.dll << ": " << error << std::endl;
        return 1;
    }
    if (options.highContrast && !library->ReportHighContrast()) {
        std::cerr << "cannot report high contrast to " << options.dll << std::endl;
        return 1;
    }
    Host host(library->Api());
    host.PickReply = options.pickReply;
    if (options.version) {
        host.Version = options.version;
    }
    ScriptPlayer player(host, std::cout);
    if (!script.empty() && !player.Load(script, error)) {
        std::cerr << options.script << ": " << error << std::endl;
        return 2;
    }
    host.Subroutines.insert(host.Subroutines.end(), options.subroutines.begin(),
                            options.subroutines.end());
    host.Trace = &std::cout;
    host.Connect();
    std::cout << "loaded " << host.PluginName << " by " << host.PluginAuthor << ": "
              << system::ToUtf8(host.PluginDescription) << " (" << host.Catalogue.size()
              << " catalogue entries)" << std::endl;
    // The commands are known once the plug-in has registered them.
    if (!script.empty() && !player.Check(error)) {
        host.Trace = nullptr;
        std::stringstream lines(error);
        for (std::string line; std::getline(lines, line);) {
            std::cerr << options.script << ": " << line << std::endl;
        }
        return 2;
    }

    // The dialogs belong to the host's window and an unattended author may close them.
    HostWindow window("Lumora - tarvik-host");
    DialogWatcher watcher(options.watch, window.Handle());
    bool ok = true;
    if (options.about) {
        host.About();
    } else if (options.edit != 0) {
        std::vector<std::optional<std::string>> slots = options.editTexts;
        const bool result = host.Edit(options.edit, slots);
        std::cout << "edit " << options.edit << " = " << (result ? "true" : "false") << std::endl;
        PrintSlots(std::cout, slots, std::max<std::size_t>(options.editTexts.size(), 3));
    } else {
        ok = player.Run();
    }
    host.Trace = nullptr;
    return ok ? 0 : 1;
}
