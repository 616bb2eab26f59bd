// The program's start-up: modules, help file, title, the three windows, the message loop.
#pragma once

#include <functional>
#include <string_view>

namespace toolkit {
class TApplication;
}

namespace velmora {

// Told the name of each start-up step once it is done: "modules", "application", "help file",
// "title", "TForm1", "TForm2", "TForm3".
using StartupObserver = std::function<void(std::string_view step)>;

// Runs every start-up step before the message loop on app.
void StartVelmora(toolkit::TApplication& app, const StartupObserver& observe = {});

// The whole program: start-up, then the message loop until the main window closes.
int VelmoraMain(int argc, char** argv);

} // namespace velmora
