// What crosses to the host is the contract and nothing else: every entry point runs its
// body through Guarded, so no C++ exception reaches the host's frames.
#pragma once

#include <cstdint>

#include "plugin/UPluginTypes.h"

namespace tarvik::plugin {

template <typename Body>
void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        // Out of memory or any other failure: the entry point does nothing more.
    }
}

// A Boolean entry point: true and false as the host's 1 and 0; any failure is false.
template <typename Body>
std::int32_t GuardedBool(Body&& body) noexcept {
    try {
        return body() ? kTrue : kFalse;
    } catch (...) {
        return kFalse;
    }
}

}  // namespace tarvik::plugin
