// tidemark-cli: the engines of the window program, driven from the console.
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"

int wmain(int argc, wchar_t** argv) {
    tidemark::cli::StdOutput out;
    try {
        std::vector<std::wstring> args(argv + 1, argv + argc);
        return tidemark::cli::RunCli(args, out);
    } catch (const std::exception& e) {
        out.Err(std::string("tidemark-cli: ") + e.what() + "\n");
        return tidemark::cli::ExitNoEngine;
    }
}
