// The library's load and unload order.
#pragma once

namespace tarvik::plugin {

// Runs the start-up steps in order: the notification handler, the hotkey codec, the
// hotkey service object. Each step runs at most once per load. False when a step failed;
// the steps that ran stay in place for LibraryShutdown.
bool LibraryStartup() noexcept;
// Runs the shut-down steps of the steps that ran, in reverse order.
void LibraryShutdown() noexcept;
// The process is ending (the loader says so): other threads are gone and the system
// takes back windows, hotkeys and memory with the process. Only the global atom
// references are released, since the session's atom table outlives the process;
// nothing is destroyed, freed or unloaded. The steps count as shut down afterwards.
void LibraryProcessEnd() noexcept;
// Thread attach and detach reach the handler; there is no per-thread state.
void LibraryNotification(unsigned long reason) noexcept;

}  // namespace tarvik::plugin
