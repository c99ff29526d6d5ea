#include "cli/calc_command.h"

#include <QEventLoop>

#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>

#include "calcctl/batch.h"
#include "calcctl/calculation.h"
#include "calcctl/result_code.h"
#include "model/calc_input.h"
#include "model/format_real.h"
#include "model/project_file.h"
#include "net/remote_run.h"
#include "net/remote_settings.h"

namespace cli {

using namespace calcctl;

const char* const kCalcHelp =
    "Aufruf: tervana-cli calc FILE.k4p [--priority low|normal|high] [--workdir DIR]\n"
    "                         [--module PROGRAMM] [--whole-cycle[=TOL]] [-o OUT.k4p]\n"
    "       tervana-cli calc --batch A.k4p B.k4p ... [--priority ...] [--workdir DIR]\n"
    "       tervana-cli calc FILE.k4p --remote [Optionen unten] [--workdir DIR] [-o OUT.k4p]\n"
    "Berechnet das Projekt mit kq4calc (neben tervana-cli, sonst aus PATH, oder PROGRAMM)\n"
    "im Arbeitsverzeichnis DIR (Vorgabe: aktuelles Verzeichnis) und sichert es mit den\n"
    "Ergebnissen nach OUT.k4p oder zurück in FILE.k4p. Mit --batch werden alle Projekte\n"
    "nacheinander berechnet und jeweils in ihre Datei zurückgeschrieben.\n"
    "Status 0, wenn Ergebnisse vorliegen (bei --batch: für jedes Projekt), sonst 1.\n"
    "\n"
    "--whole-cycle[=TOL] hält die Schranken für diese Berechnung auf dem ganzen Zyklus ein,\n"
    "nicht nur an den Stützstellen: TOL ist die erlaubte Überschreitung als Anteil der\n"
    "Schrankenbreite (ohne Wert 0.001 = 0,1 %); --whole-cycle=0 schaltet es aus. Ohne die\n"
    "Option gilt die Einstellung der Projektdatei. Die gesicherte Datei hält den verwendeten\n"
    "Wert fest, damit ihre Ergebnisse reproduzierbar bleiben.\n"
    "\n"
    "Externe Berechnung (--remote) mit den gespeicherten Einstellungen der Remote-Config,\n"
    "jede durch eine Option ersetzbar:\n"
    "  --protocol ftp|ssh   FTP + Telnet oder SSH\n"
    "  --host HOST[:PORT]   Host (Port: FTP bzw. SSH)\n"
    "  --telnet-port N      Telnet-Port (Vorgabe 23)\n"
    "  --user NAME          Benutzer\n"
    "  --folder PFAD        Verzeichnis auf dem Host\n"
    "  --prompt TEXT        Ende des Shell-Prompts (Telnet)\n"
    "  --command TEXT       Kommando, das den Berechnungsmodul startet\n"
    "  --line-end cr|crlf   Zeilenende im Telnet-Dialog\n"
    "  --max-time SEK       Zeitlimit des ganzen Laufs (60 .. 36000)\n"
    "  --key [DATEI]        SSH: Schlüssel statt Passwort (ohne DATEI: Agent, Standardschlüssel)\n"
    "  --known-hosts DATEI  SSH: known_hosts (Vorgabe ~/.ssh/known_hosts)\n"
    "  --accept-new-host-key  SSH: einem unbekannten Hostschlüssel vertrauen\n"
    "  --details            FTP- und Telnet-Texte ausgeben\n"
    "Das Passwort kommt aus TERVANA_REMOTE_PASSWORD oder wird am Terminal ohne Echo\n"
    "abgefragt, nie von der Kommandozeile.\n";

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

// A line from the terminal with echo off; nothing when there is no terminal.
std::optional<std::string> readSecret(const std::string& prompt) {
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (tty == nullptr) return std::nullopt;
    const int fd = fileno(tty);
    termios old{};
    if (tcgetattr(fd, &old) != 0) {
        std::fclose(tty);
        return std::nullopt;
    }
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::fputs(prompt.c_str(), tty);
    std::fflush(tty);
    tcsetattr(fd, TCSAFLUSH, &quiet);
    std::string line;
    int c;
    while ((c = std::fgetc(tty)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    tcsetattr(fd, TCSAFLUSH, &old);
    std::fputs("\n", tty);
    std::fclose(tty);
    return line;
}

// A yes/no question on the terminal; no terminal: no.
bool askTerminal(const std::string& question) {
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (tty == nullptr) return false;
    std::fputs(question.c_str(), tty);
    std::fflush(tty);
    char buf[16] = {};
    const bool yes = std::fgets(buf, sizeof buf, tty) != nullptr &&
                     (buf[0] == 'j' || buf[0] == 'J' || buf[0] == 'y' || buf[0] == 'Y');
    std::fclose(tty);
    return yes;
}

struct RemoteOptions {
    bool remote = false;
    bool acceptNewHostKey = false;
    // Option and value, in the order given (the last of a kind wins); "--details" and "--key"
    // without a file have an empty value.
    std::vector<std::pair<std::string, std::string>> values;
};

// The stored settings with the options of the command line; an error text when one is bad.
std::string remoteSettings(const RemoteOptions& o, net::RemoteSettings& s) {
    net::readRemoteSettings(*net::openUserSettings(), s);
    for (const auto& [name, value] : o.values) {
        const QString v = QString::fromStdString(value);
        if (name == "--protocol") {
            if (value == "ftp")
                s.protocol = net::RemoteProtocol::FtpTelnet;
            else if (value == "ssh")
                s.protocol = net::RemoteProtocol::Ssh;
            else
                return "--protocol " + value + " ist nicht ftp oder ssh";
        } else if (name == "--host") {
            s.host = v;
        } else if (name == "--telnet-port") {
            bool ok = false;
            s.telnetPort = v.toInt(&ok);
            if (!ok || s.telnetPort < 1 || s.telnetPort > 65535)
                return "--telnet-port " + value + " ist kein Port";
        } else if (name == "--user") {
            s.user = v;
        } else if (name == "--folder") {
            s.remotePath = v;
        } else if (name == "--prompt") {
            s.prompt = v;
        } else if (name == "--command") {
            s.command = v;
        } else if (name == "--line-end") {
            if (value != "cr" && value != "crlf")
                return "--line-end " + value + " ist nicht cr oder crlf";
            s.crOnly = value == "cr";
        } else if (name == "--max-time") {
            bool ok = false;
            s.maxTime = v.toInt(&ok);
            if (!ok || s.maxTime < net::kMinMaxTime || s.maxTime > net::kMaxMaxTime)
                return "--max-time " + value + " liegt nicht in 60 .. 36000";
        } else if (name == "--key") {
            s.sshKeyAuth = true;
            s.sshKeyFile = v; // empty: the agent and the default keys
        } else if (name == "--known-hosts") {
            s.knownHosts = v;
        } else if (name == "--details") {
            s.details = true;
        }
    }
    const QString reason = net::incompleteReason(s);
    if (!reason.isEmpty()) return reason.toStdString();
    // The password from the environment, else from the terminal; a key needs none.
    if (const char* env = std::getenv("TERVANA_REMOTE_PASSWORD")) {
        s.password = QString::fromUtf8(env);
    } else if (!(s.protocol == net::RemoteProtocol::Ssh && s.sshKeyAuth)) {
        auto secret =
            readSecret("Passwort für " + s.user.toStdString() + "@" + s.host.toStdString() + ": ");
        if (!secret) return "kein Passwort: ohne Terminal bitte TERVANA_REMOTE_PASSWORD setzen";
        s.password = QString::fromStdString(*secret);
    }
    return {};
}

} // namespace

int runCalcCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string output, priority = "normal", workdir, module;
    bool batch = false;
    std::optional<double> wholeCycle; // the tolerance of --whole-cycle
    RemoteOptions remote;
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
        } else if (a == "--whole-cycle" || a.rfind("--whole-cycle=", 0) == 0) {
            double t = model::kDefaultWholeCycleTolerance;
            if (a.size() > 13 && (!model::parseDouble(std::string_view(a).substr(14), t) ||
                                  !std::isfinite(t) || t < 0.0 || t >= 1.0)) {
                err << "tervana-cli calc: " << a << ": TOL ist keine Zahl von 0 bis unter 1\n";
                return 2;
            }
            wholeCycle = t;
        } else if (a == "--remote") {
            remote.remote = true;
        } else if (a == "--accept-new-host-key") {
            remote.acceptNewHostKey = true;
        } else if (a == "--details" ||
                   (a == "--key" && (i + 1 >= args.size() || args[i + 1].rfind("-", 0) == 0 ||
                                     QString::fromStdString(args[i + 1]).endsWith(".k4p")))) {
            remote.values.emplace_back(a, std::string()); // --key alone: agent, default keys
        } else if (a == "--protocol" || a == "--host" || a == "--telnet-port" || a == "--user" ||
                   a == "--folder" || a == "--prompt" || a == "--command" || a == "--line-end" ||
                   a == "--max-time" || a == "--key" || a == "--known-hosts") {
            std::string v;
            if (!value(v)) return 2;
            remote.values.emplace_back(a, v);
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

    if (!remote.remote && !remote.values.empty()) {
        err << "tervana-cli calc: die Optionen der externen Berechnung gelten nur mit --remote\n";
        return 2;
    }
    if (remote.remote) {
        net::RemoteSettings rs;
        const std::string why = remoteSettings(remote, rs);
        if (!why.empty()) {
            err << "tervana-cli calc --remote: " << why << "\n";
            return 2;
        }
        const bool acceptNew = remote.acceptNewHostKey;
        calc.runnerFactory = [rs, acceptNew, &err] {
            auto runner = std::make_unique<net::RemoteRunner>(rs);
            runner->acceptHostKey = [acceptNew, &err](const QString& host, const QString& fp) {
                if (acceptNew) {
                    err << "Neuer Schlüssel von " << host.toStdString()
                        << " angenommen: " << fp.toStdString() << "\n";
                    return true;
                }
                return askTerminal("Der Schlüssel des Hosts " + host.toStdString() +
                                   " ist unbekannt.\n" + fp.toStdString() +
                                   "\nDem Schlüssel vertrauen und verbinden? [j/N] ");
            };
            return std::unique_ptr<ModuleRunner>(std::move(runner));
        };
    }

    model::ProjectTree tree;
    for (const std::string& f : files) {
        auto r = model::openProject(tree, f);
        if (auto* m = std::get_if<model::Message>(&r)) {
            err << f << ": " << plain(m->text) << "\n";
            return 1;
        }
    }
    // The switch of --whole-cycle, for this run and the results it gives.
    if (wholeCycle)
        for (auto& root : tree.roots)
            model::editObject(*root, [t = *wholeCycle](model::TNLMember& o) { o.RPar[3] = t; });
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
        err << calc.resultStatus().toStdString() << "\n";
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
