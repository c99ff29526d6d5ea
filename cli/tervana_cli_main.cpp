// tervana-cli: a thin driver. "calc" runs the calculation control on a Qt event loop; every
// other subcommand is the project model's.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

#include "cli/calc_command.h"
#include "cli/model_commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "calc") {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tervana"));
        return cli::runCalcCli(args, std::cout, std::cerr);
    }
    return cli::runCli(args, std::cout, std::cerr);
}
