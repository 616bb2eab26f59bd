// Initialisation of the program's modules before any window exists: the picture readers enter
// themselves in the picture format list that the picture dialogs use.
#pragma once

namespace velmora {

// Idempotent: a second call changes nothing.
void InitializeModules();

} // namespace velmora
