// Shared by the fuzz targets: a finding is reported by aborting with a message, so that
// libFuzzer keeps the input that led to it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hotkeys/UKeyNameIndex.h"
#include "platform/FakePlatform.h"

namespace tarvik::fuzz {

[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

// A check costs nothing beyond its condition while it holds: the message is a literal,
// or a function that builds it only for a finding.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        Finding(what);
    }
}

template <class Describe, class = decltype(std::string(std::declval<Describe&>()()))>
void Require(bool condition, Describe&& describe) {
    if (!condition) {
        Finding(describe());
    }
}

// One of the three modelled layouts, in the order a selector byte picks them.
inline platform::LayoutHandle LayoutOf(unsigned selector) {
    switch (selector % 3) {
        case 0: return platform::FakePlatform::UsEnglish();
        case 1: return platform::FakePlatform::German();
        default: return platform::FakePlatform::Russian();
    }
}

inline unsigned CodePageOf(unsigned selector) {
    return selector % 2 == 0 ? 1252u : 1251u;
}

// What an input must leave in a fake as it found it: everything the fake counts, the
// layouts it holds and the active one, and its code page.
using FakeCounts = std::vector<std::pair<const char*, std::uintptr_t>>;

inline FakeCounts CountsOf(platform::FakePlatform& fake) {
    return {
        {"registrations", fake.Registrations()},
        {"atoms", fake.LiveAtoms()},
        {"windows", fake.LiveWindows()},
        {"windows that reach the library", fake.SinkWindows()},
        {"global blocks", fake.LiveBlocks()},
        {"frees of foreign addresses", fake.ForeignFrees()},
        {"layouts", fake.LayoutList(100).size()},
        {"active layout", reinterpret_cast<std::uintptr_t>(fake.ThreadLayout())},
        {"code page", fake.AnsiCodePage()},
        {"open registry keys", fake.OpenRegistryKeys()},
        {"help viewers", fake.HelpViewersOpen()},
        {"shell calls", fake.ShellCalls().size()},
    };
}

// The fake of one set-up (a layout and a code page, as LayoutOf and CodePageOf pick them
// from a selector), made at its first use and kept for every later input with that
// set-up, with the key-name indexes built under it: building either again for each input
// would cost more than the input itself.
struct KeptFake {
    platform::FakePlatform fake;
    std::array<hotkeys::TKeyNameIndex, 2> indexes{hotkeys::TKeyNameIndex(false),
                                                  hotkeys::TKeyNameIndex(true)};
    FakeCounts start;
};

inline KeptFake& KeptFakeOf(unsigned selector) {
    static std::array<std::unique_ptr<KeptFake>, 6> kept;
    std::unique_ptr<KeptFake>& slot = kept[selector % 6];
    if (!slot) {
        slot = std::make_unique<KeptFake>();
        const platform::LayoutHandle layout = LayoutOf(selector);
        slot->fake.SetLayouts({layout}, layout);
        slot->fake.SetAnsiCodePage(CodePageOf(selector / 3));
        slot->start = CountsOf(slot->fake);
    }
    return *slot;
}

// Lends one input the kept fake of its set-up. Finish() takes back what the input staged
// and requires everything else to be as the fake was made: a leak shows there, and no
// input sees what an earlier one left.
class KeptFakeScope {
public:
    explicit KeptFakeScope(unsigned selector) : kept_(KeptFakeOf(selector)) {
        platform::SetOs(&kept_.fake);
    }
    ~KeptFakeScope() { platform::SetOs(nullptr); }
    KeptFakeScope(const KeptFakeScope&) = delete;
    KeptFakeScope& operator=(const KeptFakeScope&) = delete;

    platform::FakePlatform& Fake() { return kept_.fake; }

    // The codec's key-name indexes go in after the library's start-up (which clears
    // them) and come out before its shut-down; each is built once per set-up, as long as
    // no input leaves another layout active.
    void LendIndexes() { SwapIndexes(); }
    void TakeIndexesBack() {
        SwapIndexes();
        for (const hotkeys::TKeyNameIndex& index : kept_.indexes) {
            Require(index.Builds() <= 1, "a key-name index was built again for one set-up");
        }
    }

    void Finish() { FinishAt(kept_.start); }

    // The same against another starting point: the fake with the library loaded in it.
    void FinishAt(const FakeCounts& start) {
        Require(kept_.fake.PumpMessages() == 0, "a message was left in the queue");
        kept_.fake.ResetStaging();
        const FakeCounts now = CountsOf(kept_.fake);
        for (std::size_t i = 0; i < now.size(); ++i) {
            Require(now[i].second == start[i].second, [&] {
                return std::string("an input left ") + now[i].first + " at " +
                       std::to_string(now[i].second) + ", not " + std::to_string(start[i].second);
            });
        }
    }

private:
    void SwapIndexes() {
        for (bool localized : {false, true}) {
            std::swap(hotkeys::KeyNameIndex(localized), kept_.indexes[localized ? 1 : 0]);
        }
    }

    KeptFake& kept_;
};

}  // namespace tarvik::fuzz
