// Global atoms: the numbers the hotkey ids are made of. Atoms live beyond the process
// that adds them, so every name carries the stage's own prefix and every reference
// taken is deleted again.
#include <algorithm>
#include <cctype>

#include "ConformanceStage.h"

namespace tarvik::conformance {
namespace {

using platform::Atom;
using platform::kFirstStringAtom;

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorInvalidParameter = 87;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST_P(AtomsConformance, OneNameHasOneStringAtomWhateverItsLetterCase) {
    const std::string name = stage().UniquePrefix() + "HotKeyManagerHotKey49268";
    AtomReference first(os(), name);
    ASSERT_GE(first.atom(), kFirstStringAtom);

    AtomReference again(os(), name);
    AtomReference shouted(os(), Upper(name));
    AtomReference other(os(), name + "0");
    EXPECT_EQ(again.atom(), first.atom());
    EXPECT_EQ(shouted.atom(), first.atom());
    EXPECT_GE(other.atom(), kFirstStringAtom);
    EXPECT_NE(other.atom(), first.atom());
    EXPECT_EQ(stage().FindGlobalAtom(Lower(name)), first.atom());
}

TEST_P(AtomsConformance, EveryAddIsOneReferenceAndTheLastDeleteRemovesTheName) {
    const std::string name = stage().UniquePrefix() + "Counted";
    AtomReference one(os(), name);
    AtomReference two(os(), name);
    const Atom atom = one.atom();
    ASSERT_GE(atom, kFirstStringAtom);

    EXPECT_EQ(one.Release(), 0);
    EXPECT_EQ(stage().FindGlobalAtom(name), atom);  // the second reference keeps it
    EXPECT_EQ(two.Release(), 0);

    os().SetLastError(0);
    EXPECT_EQ(stage().FindGlobalAtom(name), 0);
    EXPECT_EQ(os().LastError(), kErrorFileNotFound);
    os().SetLastError(0);
    EXPECT_EQ(os().DeleteGlobalAtom(atom), atom);
    EXPECT_EQ(os().LastError(), kErrorInvalidHandle);
}

TEST_P(AtomsConformance, NumberNamesAreIntegerAtomsAndSomeNamesAreNoNames) {
    EXPECT_EQ(os().AddGlobalAtom("#1234"), 1234);
    EXPECT_EQ(stage().FindGlobalAtom("#1234"), 1234);
    EXPECT_EQ(os().DeleteGlobalAtom(1234), 0);

    os().SetLastError(0);
    EXPECT_EQ(os().AddGlobalAtom("#49152"), 0);  // string atoms' numbers are not for the taking
    EXPECT_EQ(os().LastError(), kErrorInvalidParameter);
    os().SetLastError(0);
    EXPECT_EQ(os().AddGlobalAtom(""), 0);
    EXPECT_EQ(os().LastError(), kErrorInvalidParameter);
    os().SetLastError(0);
    EXPECT_EQ(os().AddGlobalAtom(std::string(256, 'k')), 0);
    EXPECT_EQ(os().LastError(), kErrorInvalidParameter);
}

}  // namespace
}  // namespace tarvik::conformance
