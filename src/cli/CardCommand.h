// Making cards from the command line: one card per contact of an ADIF log, or one card from
// options. The program runs this when its first argument is an option rather than a command.
#pragma once

#include "cli/Cli.h"

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>

namespace cli {

// Runs the card-making front end with every argument of the program; returns the exit status:
// 0 when every card was written, 1 when a card could not be made (a damaged record included),
// 2 for a wrong command line. Usage errors print the usage lines themselves.
int RunCards(std::span<const std::string> args, CommandIo& io);

// The usage lines and options of card making, for the program's help.
void PrintCardHelp(std::ostream& stream);

// The running program's own file (/proc/self/exe), empty when it cannot be found. The default
// profile and the installed blank card are looked for beside it.
std::filesystem::path ExecutablePath();

} // namespace cli
