// The library's own failures. They carry a fixed text only: every entry point catches
// whatever is thrown and turns it into the host's answer, so nothing reads the text but a
// debugger, and a fixed text keeps the C++ runtime's string-carrying exception classes
// out of the DLL.
#pragma once

#include <exception>

namespace tarvik::base {

class TFailure : public std::exception {
public:
    // `what` must outlive the failure: a string literal.
    explicit TFailure(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace tarvik::base
