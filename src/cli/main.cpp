#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return kestrune::cli::Run(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "kestrune-cli: out of memory\n";
        return kestrune::cli::kExitFailed;
    }
}
