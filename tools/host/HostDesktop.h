// The host's side of the desktop while the plug-in shows a dialog: the host's own main
// window (the dialogs take the active window as their owner), and a watcher that plays
// the author for unattended runs: it reports where the dialog is and closes it.
#pragma once

#include <memory>
#include <string>

namespace tarvik::host {

// The host's main window, shown and active on this thread; none where there are no
// windows (natively, where dialogs run headless).
class HostWindow {
public:
    explicit HostWindow(const std::string& title);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void* Handle() const { return window_; }

private:
    void* window_ = nullptr;
};

struct DialogWatch {
    enum class Close { None, Ok, Cancel };
    Close close = Close::None;
    int afterMilliseconds = 1500;  // how long the dialog stays open before it is closed
    std::string readyFile;         // receives "left top right bottom" of the dialog, if set
};

// While it lives, watches the windows of the thread that made it. When a top-level
// window other than `hostWindow` appears (the plug-in's dialog), it writes the dialog's
// window rectangle to the ready file, waits, and then clicks "&OK", or for Cancel the
// "&Отменить" button (the window's close box where there is none).
class DialogWatcher {
public:
    DialogWatcher(const DialogWatch& watch, void* hostWindow);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
};

}  // namespace tarvik::host
