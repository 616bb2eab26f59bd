#include "cli/Cli.h"

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return cli::Run(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "velmora-card: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "velmora-card: " << error.what() << '\n';
    }
    return cli::kExitFailure;
}
