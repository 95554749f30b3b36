// Natively there are no windows: the plug-in's dialogs run headless, so there is
// nothing to own them and nothing to watch.
#include "HostDesktop.h"

namespace tarvik::host {

struct DialogWatcher::Worker {};

HostWindow::HostWindow(const std::string& /*title*/) {}
HostWindow::~HostWindow() = default;

DialogWatcher::DialogWatcher(const DialogWatch& /*watch*/, void* /*hostWindow*/) {}
DialogWatcher::~DialogWatcher() = default;

}  // namespace tarvik::host
