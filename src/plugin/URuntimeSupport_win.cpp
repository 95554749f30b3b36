// What the DLL supplies of the C++ runtime itself, so that the statically linked runtime
// brings in only what the library uses.
//
// The runtime's own versions of these functions build standard exception objects that
// carry a copy of their message, which links both of the runtime's string
// implementations and every exception class with them; and its terminate handler names
// the exception through the demangler and writes to stderr, which a host does not have.
// No entry point lets an exception out and the library catches only with `catch (...)`
// or by its own types, so a fixed text loses nothing.
//
// These names and signatures are the runtime's internals: base/UStringInstances.h, which
// every source of the Windows builds includes first, stops the build for a compiler or
// runtime they were not checked with.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>
#include <typeinfo>

#include "base/UFailure.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    throw tarvik::base::TFailure(what);
}

}  // namespace

namespace __gnu_cxx {

// Reached only when an exception escapes a noexcept function or a destructor.
void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char*) { Fail("logic error"); }
void __throw_domain_error(const char*) { Fail("domain error"); }
void __throw_invalid_argument(const char*) { Fail("invalid argument"); }
void __throw_length_error(const char*) { Fail("length error"); }
void __throw_out_of_range(const char*) { Fail("out of range"); }
void __throw_out_of_range_fmt(const char*, ...) { Fail("out of range"); }
void __throw_runtime_error(const char*) { Fail("runtime error"); }
void __throw_range_error(const char*) { Fail("range error"); }
void __throw_overflow_error(const char*) { Fail("overflow error"); }
void __throw_underflow_error(const char*) { Fail("underflow error"); }

}  // namespace std
