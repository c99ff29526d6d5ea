// tervana-cli: a thin driver around model::runCli.
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return model::runCli(args, std::cout, std::cerr);
}
