// tervana-cli: a thin driver. "calc" runs the calculation control on a Qt event loop, "plot"
// draws on the offscreen platform; every other subcommand is the project model's.
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <iostream>
#include <string>
#include <vector>

#include "cli/calc_command.h"
#include "cli/model_commands.h"
#include "cli/plot_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "calc") {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tervana"));
        return cli::runCalcCli(args, std::cout, std::cerr);
    }
    if (!args.empty() && args[0] == "report" && cli::wantsReportPdf(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return cli::runReportPdfCli(args, std::cout, std::cerr);
    }
    if (!args.empty() && args[0] == "plot") {
        // Drawn without a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return cli::runPlotCli(args, std::cout, std::cerr);
    }
    return cli::runCli(args, std::cout, std::cerr);
}
