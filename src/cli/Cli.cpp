#include "cli/Cli.h"

#include "cli/CardCommand.h"
#include "cli/PictureReaders.h"

#include <array>
#include <ostream>

namespace cli {

namespace {

constexpr std::string_view kProgram = "velmora-card";

// Card-making commands join this table when they arrive.
constexpr std::array kCommands{
    Command{"convert", "PICTURE OUT.bmp",
            "decode a picture and write it as an uncompressed 24-bit BMP", &RunConvert},
    Command{"labels", "--adif LOG --sheet NAME|FILE -o LABELS.pdf [OPTIONS]",
            "sheets of QSL labels for a log's contacts as a PDF (labels --help)", &RunLabels},
};

void PrintUsageLine(std::ostream& stream, const Command& command) {
    stream << "usage: " << kProgram << ' ' << command.name << ' ' << command.synopsis << '\n';
}

void PrintHelp(std::ostream& stream) {
    stream << "usage: " << kProgram << " COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& command : kCommands) {
        stream << "  " << command.name << ' ' << command.synopsis << "\n      " << command.summary
               << '\n';
    }
    stream << "\npictures: " << KnownEndings() << '\n';
    stream << "\nMaking cards (the first argument is an option):\n";
    PrintCardHelp(stream);
}

const Command* FindCommand(std::string_view name) {
    for (const Command& command : kCommands) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

} // namespace

std::span<const Command> Commands() {
    return kCommands;
}

void ReportError(CommandIo& io, std::string_view subject, std::string_view message) {
    io.err << kProgram << ": " << subject << ": " << message << '\n';
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintHelp(err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(out);
        return kExitSuccess;
    }
    // Card making is the program's main use and takes options only, no command name.
    if (args[0].starts_with("-")) {
        CommandIo io{out, err};
        return RunCards(args, io);
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr) {
        err << kProgram << ": unknown command \"" << args[0] << "\"\n";
        PrintHelp(err);
        return kExitUsage;
    }
    CommandIo io{out, err};
    const int status = command->run(args.subspan(1), io);
    if (status == kExitUsage)
        PrintUsageLine(err, *command);
    return status;
}

} // namespace cli
