#pragma once

namespace tarvik::plugin {

// Hands the catalogue to the host: three categories and eight commands, eleven calls
// of the registration callback in catalogue order.
void RegisterActions();

}  // namespace tarvik::plugin
