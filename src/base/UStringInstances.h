// Included before every C++ source of the Windows builds (see the top CMakeLists.txt).
//
// The C++ runtime declares std::string and std::wstring as instantiated inside the
// library, so every use links the runtime's object that holds all their members, and
// with the unwind tables keeping each of them alive, none can be dropped. The value -1 is
// the runtime's own switch for "no such declarations for the string classes only"
// (nothing else changes): the members the plug-in uses are then built into its own
// objects, and the runtime's string objects stay out of the DLL.
//
// This switch, and the runtime's throw helpers and terminate handler that
// plugin/URuntimeSupport_win.cpp replaces, are internals of the runtime: they were checked
// with the compiler and runtime below, and another version may change them without a
// word. The build stops there until the new version is checked and added here.
#pragma once

#include <bits/c++config.h>

#if defined(__clang__) || !defined(__GNUC__) || __GNUC__ != 12 || \
    !defined(_GLIBCXX_RELEASE) || _GLIBCXX_RELEASE != 12 || __GLIBCXX__ != 20220819
#error "TarvikD replaces internals of GCC 12's libstdc++ (20220819), which this compiler or runtime is not: check src/base/UStringInstances.h and src/plugin/URuntimeSupport_win.cpp against it, then add it to the check in UStringInstances.h."
#endif

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
