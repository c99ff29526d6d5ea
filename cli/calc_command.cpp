#include "cli/calc_command.h"

#include <QEventLoop>

#include "calcctl/batch.h"
#include "calcctl/calculation.h"
#include "calcctl/result_code.h"
#include "model/project_file.h"

namespace cli {

using namespace calcctl;

const char* const kCalcHelp =
    "Aufruf: tervana-cli calc FILE.k4p [--priority low|normal|high] [--workdir DIR]\n"
    "                         [--module PROGRAMM] [-o OUT.k4p]\n"
    "       tervana-cli calc --batch A.k4p B.k4p ... [--priority ...] [--workdir DIR]\n"
    "Berechnet das Projekt mit kq4calc (neben tervana-cli, sonst aus PATH, oder PROGRAMM)\n"
    "im Arbeitsverzeichnis DIR (Vorgabe: aktuelles Verzeichnis) und sichert es mit den\n"
    "Ergebnissen nach OUT.k4p oder zurück in FILE.k4p. Mit --batch werden alle Projekte\n"
    "nacheinander berechnet und jeweils in ihre Datei zurückgeschrieben.\n"
    "Status 0, wenn Ergebnisse vorliegen (bei --batch: für jedes Projekt), sonst 1.\n";

namespace {

std::string plain(std::string text) {
    for (char& c : text)
        if (c == '\r') c = '\n';
    return text;
}

const char* kindPrefix(model::MessageKind k) {
    switch (k) {
    case model::MessageKind::Error:
        return "Fehler: ";
    case model::MessageKind::Warning:
        return "Warnung: ";
    default:
        return "";
    }
}

} // namespace

int runCalcCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string output, priority = "normal", workdir, module;
    bool batch = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                err << "tervana-cli calc: " << a << " verlangt einen Wert\n" << kCalcHelp;
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            out << kCalcHelp;
            return 0;
        } else if (a == "--batch") {
            batch = true;
        } else if (a == "-o") {
            if (!value(output)) return 2;
        } else if (a == "--priority") {
            if (!value(priority)) return 2;
        } else if (a == "--workdir") {
            if (!value(workdir)) return 2;
        } else if (a == "--module") {
            if (!value(module)) return 2;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "tervana-cli calc: unbekannte Option " << a << "\n" << kCalcHelp;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty() || (!batch && files.size() > 1) || (batch && !output.empty())) {
        err << "tervana-cli calc: "
            << (files.empty() ? "Dateiname fehlt" : "zu viele Argumente (-o nur ohne --batch)")
            << "\n"
            << kCalcHelp;
        return 2;
    }
    Calculation calc;
    if (priority == "low")
        calc.settings.priority = Priority::Low;
    else if (priority == "high")
        calc.settings.priority = Priority::High;
    else if (priority != "normal") {
        err << "tervana-cli calc: --priority " << priority << " ist nicht low, normal oder high\n";
        return 2;
    }
    calc.settings.workDir = QString::fromStdString(workdir);
    calc.settings.modulePath = QString::fromStdString(module);
    if (!module.empty() && locateModule(calc.settings.modulePath).isEmpty()) {
        err << "tervana-cli calc: " << module << " ist kein ausführbares Programm\n";
        return 2;
    }

    model::ProjectTree tree;
    for (const std::string& f : files) {
        auto r = model::openProject(tree, f);
        if (auto* m = std::get_if<model::Message>(&r)) {
            err << f << ": " << plain(m->text) << "\n";
            return 1;
        }
    }
    QObject::connect(&calc, &Calculation::listingLine, [&](const QString& line) {
        out << line.toStdString() << "\n" << std::flush;
    });
    QObject::connect(&calc, &Calculation::statusText, [&](const QString& text) {
        if (!text.isEmpty()) err << text.toStdString() << "\n";
    });

    QEventLoop loop;
    if (!batch) {
        model::Node& project = *tree.roots.front();
        bool done = false;
        QObject::connect(&calc, &Calculation::finished, &loop, [&] {
            done = true;
            loop.quit();
        });
        calc.calculate(project);
        if (!done) loop.exec();
        for (const model::Message& m : calc.messages())
            out << kindPrefix(m.kind) << plain(m.text) << "\n";
        const int code = calc.code();
        const bool ok =
            (code == kCodeOk || code == kCodeMaxMet) && model::projectObj(project).ResultsStored;
        if (!ok) return 1;
        const std::string target = output.empty() ? files.front() : output;
        if (auto m = model::saveProjectFile(project, target)) {
            err << plain(m->text) << "\n";
            return 1;
        }
        out << target << "\n";
        return 0;
    }

    BatchCalculation run(calc, tree);
    QObject::connect(&run, &BatchCalculation::finished, &loop, &QEventLoop::quit);
    run.start();
    loop.exec();
    out << plain(run.summary().text) << "\n";
    int status = run.solved() == static_cast<int>(files.size()) ? 0 : 1;
    for (std::size_t i = 0; i < tree.roots.size(); ++i) {
        model::Node& project = *tree.roots[i];
        if (!model::projectObj(project).ResultsStored) continue;
        if (auto m = model::saveProjectFile(project, files[i])) {
            err << plain(m->text) << "\n";
            status = 1;
        }
    }
    return status;
}

} // namespace cli
