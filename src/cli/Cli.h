// The command-line front end velmora-card: a table of subcommands, each with its own argument
// rules. Run() is the whole program apart from the process entry, so tests drive it in-process.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace cli {

// Exit statuses of the program.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1; // a reader, writer or the picture itself failed
constexpr int kExitUsage = 2;   // the command line was wrong

struct CommandIo {
    std::ostream& out;
    std::ostream& err;
};

// One subcommand: its name, the synopsis of its arguments, a one-line description, and the
// function that runs it with the arguments after its name. A command that finds its arguments
// wrong returns kExitUsage; Run() then prints the usage line.
struct Command {
    std::string_view name;
    std::string_view synopsis;
    std::string_view summary;
    int (*run)(std::span<const std::string> args, CommandIo& io);
};

// Every subcommand of the program, in the order the help lists them.
std::span<const Command> Commands();

// Runs the program with args (without the program name); returns the exit status.
int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// "velmora-card: <subject>: <message>", the form of every error the program reports.
void ReportError(CommandIo& io, std::string_view subject, std::string_view message);

// The convert subcommand: PICTURE OUT.bmp.
int RunConvert(std::span<const std::string> args, CommandIo& io);

// The labels subcommand: --adif LOG --sheet NAME|FILE -o LABELS.pdf and options.
int RunLabels(std::span<const std::string> args, CommandIo& io);

} // namespace cli
