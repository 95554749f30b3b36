// tarvik-host: loads the plug-in and plays a publication script against it, printing
// every call the plug-in makes into the host.
//
//   tarvik-host [--dll PATH] SCRIPT
//   tarvik-host [--dll PATH] --about      opens the About box as the host would
//
// Under Windows (and Wine) PATH names TarvikD.lmp (default: beside this program);
// natively the plug-in's code is linked in and runs against the in-memory platform.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "Host.h"
#include "PluginApi.h"
#include "ScriptPlayer.h"

int main(int argc, char** argv) {
    std::string dll = "TarvikD.lmp";
    std::string script;
    bool about = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--dll" && i + 1 < argc) {
            dll = argv[++i];
        } else if (argument == "--about") {
            about = true;
        } else {
            script = argument;
        }
    }
    if (about) {
        std::string error;
        auto library = tarvik::host::PluginLibrary::Load(dll, error);
        if (library == nullptr) {
            std::cerr << "cannot load " << dll << ": " << error << std::endl;
            return 1;
        }
        tarvik::host::Host host(library->Api());
        host.Trace = &std::cout;
        host.Connect();
        library->Api().About();
        host.Trace = nullptr;
        std::cout << "the About box closed" << std::endl;
        return 0;
    }
    if (script.empty()) {
        std::cerr << "usage: tarvik-host [--dll PATH] SCRIPT" << std::endl;
        return 2;
    }
    std::ifstream file(script, std::ios::binary);
    if (!file) {
        std::cerr << "cannot read " << script << std::endl;
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();

    std::string error;
    auto library = tarvik::host::PluginLibrary::Load(dll, error);
    if (library == nullptr) {
        std::cerr << "cannot load " << dll << ": " << error << std::endl;
        return 1;
    }
    tarvik::host::Host host(library->Api());
    tarvik::host::ScriptPlayer player(host, std::cout);
    if (!player.Load(text.str(), error)) {
        std::cerr << script << ": " << error << std::endl;
        return 2;
    }
    host.Trace = &std::cout;
    host.Connect();
    std::cout << "loaded " << host.PluginName << " by " << host.PluginAuthor << ": "
              << tarvik::host::system::ToUtf8(host.PluginDescription) << " ("
              << host.Catalogue.size() << " catalogue entries)" << std::endl;
    const bool ok = player.Run();
    host.Trace = nullptr;
    return ok ? 0 : 1;
}
