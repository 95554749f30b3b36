// Every Windows test program checks, before its first test, that a run asked for under
// the Russian locale (TARVIK_LOCALE=ru_..., which scripts/wine-run turns into the
// program's locale) really has code page 1251 and the Russian layout: a locale that did
// not take would otherwise repeat the plain run and pass.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace {

class LocaleOfTheRun : public ::testing::Environment {
public:
    void SetUp() override {
        char asked[64] = {};
        const DWORD length = GetEnvironmentVariableA("TARVIK_LOCALE", asked, sizeof asked);
        if (length == 0 || length >= sizeof asked || std::string(asked).rfind("ru_", 0) != 0) {
            return;
        }
        const UINT codePage = GetACP();
        const auto layout = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0)) & 0xFFFFu);
        if (codePage == 1251 && layout == 0x0419) {
            std::printf("locale of this run: %s, code page 1251, layout 0419\n", asked);
            return;
        }
        std::fprintf(stderr,
                     "this run asked for %s (code page 1251, the Russian layout 0419) but runs with code page "
                     "%u and layout %04x: the locale did not take\n",
                     asked, codePage, layout);
        std::fflush(nullptr);
        std::exit(3);
    }
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new LocaleOfTheRun);

}  // namespace
