#include "cli/plot_command.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <sstream>

#include "graphics/export.h"
#include "graphics/picture.h"
#include "graphics/reports.h"
#include "model/project_file.h"

namespace cli {

const char* const kPlotHelp =
    "Aufruf: tervana-cli plot FILE.k4p [--objects 1,2|--all] [--diagrams s,s1,s2,s3,M]\n"
    "        [--size BxH] -o OUT.png|.svg|.pdf|.bmp|.emf|.wmf\n"
    "Zeichnet die Diagramme wie das Programm: --objects die absoluten Bewegungsvorgaben\n"
    "(Vorgabe: alle absoluten), --all auch die relativen. --diagrams: s (Weg; q wird mit s\n"
    "gezeichnet, wenn eta > 0; q ist ein anderer Name dafür), s1, s2, s3 (Ableitungen), M\n"
    "(Antriebsmoment); Vorgabe s,s1,s2. --size in Pixeln bei 96 dpi (Vorgabe 1200x900).\n";

namespace {

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    std::stringstream in(s);
    for (std::string item; std::getline(in, item, ',');) out.push_back(item);
    return out;
}

bool toInt(const std::string& s, int& v) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

} // namespace

int runPlotCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file, output, objects, diagrams = "s,s1,s2", size = "1200x900";
    bool all = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "--help" || a == "-h") {
            out << kPlotHelp;
            return 0;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--objects") {
            ok = value(objects);
        } else if (a == "--diagrams") {
            ok = value(diagrams);
        } else if (a == "--size") {
            ok = value(size);
        } else if (a == "-o") {
            ok = value(output);
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            ok = false;
        }
        if (!ok) {
            err << "tervana-cli plot: unbekanntes oder unvollständiges Argument " << a << "\n"
                << kPlotHelp;
            return 2;
        }
    }
    int w = 0, h = 0;
    const auto x = size.find('x');
    if (file.empty() || output.empty() || x == std::string::npos || !toInt(size.substr(0, x), w) ||
        !toInt(size.substr(x + 1), h) || w < 100 || h < 100 || w > 20000 || h > 20000) {
        err << "tervana-cli plot: Datei, -o und eine Größe von 100x100 bis 20000x20000 nötig\n"
            << kPlotHelp;
        return 2;
    }
    std::array<bool, 5> curves{};
    for (const std::string& d : split(diagrams)) {
        const std::array<const char*, 6> names = {"s", "s1", "s2", "s3", "M", "q"};
        const auto it = std::find(names.begin(), names.end(), d);
        if (it == names.end()) {
            err << "tervana-cli plot: unbekanntes Diagramm " << d << "\n" << kPlotHelp;
            return 2;
        }
        const long index = it - names.begin();
        curves[static_cast<std::size_t>(index == 5 ? 0 : index)] = true;
    }
    model::ProjectTree tree;
    auto opened = model::openProject(tree, file);
    if (auto* m = std::get_if<model::Message>(&opened)) {
        err << file << ": " << m->text << "\n";
        return 1;
    }
    model::Node* project = std::get<model::Node*>(opened);
    graphics::Picture pic;
    pic.choose(curves);
    std::vector<int> wanted;
    for (const std::string& o : split(objects)) {
        int n = 0;
        if (!toInt(o, n)) {
            err << "tervana-cli plot: --objects erwartet Nummern, nicht " << o << "\n";
            return 2;
        }
        wanted.push_back(n);
    }
    for (auto& c : project->children) {
        if (auto* hs = c->as<model::THSHeader>()) {
            if (wanted.empty() ||
                std::find(wanted.begin(), wanted.end(), hs->IPar[2]) != wanted.end())
                pic.members.push_back(c.get());
        } else if (all && c->as<model::TRelHeader>() != nullptr) {
            pic.members.push_back(c.get());
        }
    }
    if (pic.members.empty()) {
        err << "tervana-cli plot: keine Bewegungsvorgabe ausgewählt\n";
        return 2;
    }
    constexpr double kPpi = 96.0;
    graphics::ExportOptions options;
    options.widthMm = static_cast<int>(std::lround(w * 25.4 / kPpi));
    options.heightMm = static_cast<int>(std::lround(h * 25.4 / kPpi));
    const graphics::DrawFn draw = [&pic](QPainter& p, int pw, int ph, int rho) {
        graphics::drawPicture(p, pw, ph, pic, rho);
    };
    // Bitmaps get exactly the pixels asked for; the other formats their size in millimetres.
    const QString path = QString::fromStdString(output);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp")) {
        QImage image(w, h, QImage::Format_RGB32);
        {
            QPainter p(&image);
            p.setFont(options.font);
            draw(p, w, h, 1);
        }
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !image.save(&f, suffix.toUpper().toLatin1()) ||
            !f.commit()) {
            err << "tervana-cli plot: " << output << " kann nicht geschrieben werden\n";
            return 1;
        }
        out << output << "\n";
        return 0;
    }
    if (auto m = graphics::exportPicture(path, draw, options, kPpi)) {
        QString text = QString::fromStdString(m->text);
        err << text.replace(QLatin1Char('\r'), QLatin1Char(' ')).toStdString() << "\n";
        return 1;
    }
    out << output << "\n";
    return 0;
}

bool wantsReportPdf(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "-o")
            return QFileInfo(QString::fromStdString(args[i + 1]))
                       .suffix()
                       .compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    return false;
}

int runReportPdfCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file, output;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (file.empty() && !args[i].empty() && args[i][0] != '-')
            file = args[i];
        else {
            err << "tervana-cli report: unbekanntes Argument " << args[i] << "\n";
            return 2;
        }
    }
    model::ProjectTree tree;
    auto opened = model::openProject(tree, file);
    if (auto* m = std::get_if<model::Message>(&opened)) {
        err << file << ": " << m->text << "\n";
        return 1;
    }
    const model::Node& project = *std::get<model::Node*>(opened);
    const model::ReportDate d = graphics::reportDate();
    graphics::ReportServices services;
    graphics::TRTFReport window(services);
    window.setReport(QString::fromStdString(project.obj().Caption), graphics::reportLines(project),
                     QStringLiteral("%1.%2.%3").arg(d.day).arg(d.month).arg(d.year));
    if (!window.writePdf(QString::fromStdString(output))) {
        err << "Der Report " << output << " konnte nicht geschrieben werden.\n";
        return 1;
    }
    out << output << "\n";
    return 0;
}

} // namespace cli
