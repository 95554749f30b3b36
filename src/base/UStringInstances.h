// Included before every C++ source of the Windows builds (see the top CMakeLists.txt).
//
// The C++ runtime declares std::string and std::wstring as instantiated inside the
// library, so every use links the runtime's object that holds all their members, and
// with the unwind tables keeping each of them alive, none can be dropped. The value -1 is
// the runtime's own switch for "no such declarations for the string classes only"
// (nothing else changes): the members the plug-in uses are then built into its own
// objects, and the runtime's string objects stay out of the DLL.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
