// tarvik-host: loads the plug-in and plays a publication script against it, printing
// every call the plug-in makes into the host, or opens one of its dialogs as the host
// does while an author edits a script.
//
//   tarvik-host [--dll PATH] [OPTIONS] SCRIPT
//   tarvik-host [--dll PATH] [OPTIONS] --edit N [TEXT...]   editor of command N; a TEXT
//                                                           of --null is a null slot
//   tarvik-host [--dll PATH] [OPTIONS] --about              the About box
//
// OPTIONS, the host's answers and an unattended author:
//   --subs A,B,C        the subroutines the host lists (request 5)
//   --pick TEXT         what the host's pickers answer (unset: the field's own text)
//   --version V         the host's version (request 6; default 5.0)
//   --close ok|cancel   close each dialog after --after MS (default 1500) milliseconds
//   --ready-file PATH   write "left top right bottom" of each dialog there once it shows
//
// Under Windows (and Wine) PATH names TarvikD.lmp (default: beside this program);
// natively the plug-in's code is linked in and runs against the in-memory platform.
#include <algorithm>
#include <cstdlib>
#include <fstream>
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
    bool about = false;
    int edit = 0;  // command number; 0: no edit
    std::vector<std::optional<std::string>> editTexts;
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

const char kUsage[] =
    "usage: tarvik-host [--dll PATH] [--subs A,B] [--pick TEXT] [--version V]\n"
    "                   [--close ok|cancel] [--after MS] [--ready-file PATH]\n"
    "                   (SCRIPT | --edit N [TEXT...] | --about)";

bool ReadOptions(int argc, char** argv, Options& options, tarvik::host::Host& host) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--dll" && hasValue) {
            options.dll = argv[++i];
        } else if (argument == "--subs" && hasValue) {
            host.Subroutines = SplitList(argv[++i]);
        } else if (argument == "--pick" && hasValue) {
            host.PickReply = std::string(argv[++i]);
        } else if (argument == "--version" && hasValue) {
            host.Version = std::string(argv[++i]);
        } else if (argument == "--close" && hasValue) {
            const std::string how = argv[++i];
            options.watch.close = how == "ok" ? tarvik::host::DialogWatch::Close::Ok
                                              : tarvik::host::DialogWatch::Close::Cancel;
        } else if (argument == "--after" && hasValue) {
            options.watch.afterMilliseconds = std::atoi(argv[++i]);
        } else if (argument == "--ready-file" && hasValue) {
            options.watch.readyFile = argv[++i];
        } else if (argument == "--about") {
            options.about = true;
        } else if (argument == "--edit" && hasValue) {
            options.edit = std::atoi(argv[++i]);
            while (i + 1 < argc) {
                const std::string text = argv[++i];
                options.editTexts.push_back(text == "--null" ? std::nullopt
                                                             : std::optional<std::string>(text));
            }
        } else if (argument.rfind("--", 0) == 0) {
            return false;
        } else {
            options.script = argument;
        }
    }
    return options.about || options.edit != 0 || !options.script.empty();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvik::host;
    // The host's answers are set before the library is loaded, on a host without a plug-in.
    PluginApi none;
    Host answers(none);
    Options options;
    if (!ReadOptions(argc, argv, options, answers)) {
        std::cerr << kUsage << std::endl;
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
    Host host(library->Api());
    host.Subroutines = answers.Subroutines;
    host.PickReply = answers.PickReply;
    host.Version = answers.Version;
    ScriptPlayer player(host, std::cout);
    if (!script.empty() && !player.Load(script, error)) {
        std::cerr << options.script << ": " << error << std::endl;
        return 2;
    }
    if (!script.empty() && answers.Subroutines.size() > 0) {
        host.Subroutines.insert(host.Subroutines.end(), answers.Subroutines.begin(),
                                answers.Subroutines.end());
    }
    host.Trace = &std::cout;
    host.Connect();
    std::cout << "loaded " << host.PluginName << " by " << host.PluginAuthor << ": "
              << system::ToUtf8(host.PluginDescription) << " (" << host.Catalogue.size()
              << " catalogue entries)" << std::endl;

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
