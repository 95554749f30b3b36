// tarvik-holder MODIFIERS KEY: "another application" for the tests. It holds one hotkey
// combination, registered for its own thread, until it is told to let go: a line on its
// standard input, or the input closing. It reports on standard output, one line:
// "held", or "refused <error>" when the system would not grant the combination.
//
// tarvik-holder help-library: a program that asks the platform for help once and prints
// the full path of the hhctrl.ocx it then holds ("none" when it holds none). Copied into
// a folder beside a planted hhctrl.ocx, it shows which of the two the platform loads.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"

namespace {

// A number in C notation (decimal, 0x hexadecimal); false when the text is not one.
bool ParseNumber(const char* text, unsigned& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 0);
    if (end == text || *end != '\0' || errno != 0 || parsed > 0xFFFFFFFFul) {
        return false;
    }
    value = static_cast<unsigned>(parsed);
    return true;
}

// The registration, for as long as this object lives.
class ThreadHotKey {
public:
    static constexpr int kId = 1;

    ThreadHotKey(unsigned modifiers, unsigned key)
        : held_(RegisterHotKey(nullptr, kId, modifiers, key) != FALSE),
          error_(held_ ? 0 : GetLastError()) {}
    ThreadHotKey(const ThreadHotKey&) = delete;
    ThreadHotKey& operator=(const ThreadHotKey&) = delete;
    ~ThreadHotKey() {
        if (held_) {
            UnregisterHotKey(nullptr, kId);
        }
    }

    bool Held() const { return held_; }
    DWORD Error() const { return error_; }

private:
    bool held_;
    DWORD error_;
};

int PrintHelpLibrary() {
    tarvik::platform::Os().HtmlHelp(nullptr, std::wstring(), tarvik::platform::kHhCloseAll, 0);
    char path[MAX_PATH + 1] = {};
    const HMODULE loaded = GetModuleHandleA("hhctrl.ocx");
    if (loaded == nullptr || GetModuleFileNameA(loaded, path, MAX_PATH) == 0) {
        std::printf("none\n");
    } else {
        std::printf("%s\n", path);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "help-library") == 0) {
        return PrintHelpLibrary();
    }
    unsigned modifiers = 0;
    unsigned key = 0;
    if (argc != 3 || !ParseNumber(argv[1], modifiers) || !ParseNumber(argv[2], key)) {
        std::fprintf(stderr, "usage: tarvik-holder MODIFIERS KEY\n");
        return 2;
    }
    const ThreadHotKey hotKey(modifiers, key);
    if (!hotKey.Held()) {
        std::printf("refused %lu\n", static_cast<unsigned long>(hotKey.Error()));
        std::fflush(stdout);
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char line[256];
    static_cast<void>(std::fgets(line, sizeof(line), stdin));
    return 0;
}
