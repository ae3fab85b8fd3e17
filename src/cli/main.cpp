#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "store/Secrets.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // A password in a --database URL is not left for the process list.
    kestrune::store::HideArgumentPasswords(argc, argv);
    try {
        return kestrune::cli::Run(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "kestrune-cli: out of memory\n";
        return kestrune::cli::kExitFailed;
    }
}
