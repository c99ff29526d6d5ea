// tervana-cli: a thin driver. "calc" runs the calculation control on a Qt event loop; every
// other subcommand is the project model's.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

#include "calc_cli.h"
#include "cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "calc") {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tervana"));
        return calcctl::runCalcCli(args, std::cout, std::cerr);
    }
    return model::runCli(args, std::cout, std::cerr);
}
