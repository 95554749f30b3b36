// In the 32-bit test programs, a fault found by the host's calling-convention checks
// (an entry point or callback that left the stack or the kept registers off) fails the
// test that is running.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "PluginApi.h"

namespace tarvik::testing_support {

#if defined(_WIN32) && defined(__i386__)
inline void FailTheRunningTest(const std::string& fault) {
    ADD_FAILURE() << fault;
}

inline const bool kCallingConventionFaultsFailTests = [] {
    host::system::OnCallingConventionFault(&FailTheRunningTest);
    return true;
}();
#endif

}  // namespace tarvik::testing_support
