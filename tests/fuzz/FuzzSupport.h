// Shared by the fuzz targets: a finding is reported by aborting with a message, so that
// libFuzzer keeps the input that led to it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/FakePlatform.h"

namespace tarvik::fuzz {

[[noreturn]] inline void Finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

inline void Require(bool condition, const std::string& what) {
    if (!condition) {
        Finding(what);
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

// Installs a fresh fake for one input and takes it away again.
class FakeScope {
public:
    FakeScope() { platform::SetOs(&fake); }
    ~FakeScope() { platform::SetOs(nullptr); }
    FakeScope(const FakeScope&) = delete;
    FakeScope& operator=(const FakeScope&) = delete;

    platform::FakePlatform fake;
};

}  // namespace tarvik::fuzz
