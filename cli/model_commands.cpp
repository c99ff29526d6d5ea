#include "cli/model_commands.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "model/binding.h"

#include "model/calc_input.h"
#include "model/characteristics.h"
#include "model/check.h"
#include "model/format_real.h"
#include "model/import.h"
#include "model/project_file.h"
#include "model/report.h"
#include "model/results.h"
#include "model/value_table.h"

namespace cli {

using namespace model;

namespace {

constexpr const char* kUsage =
    "Aufruf: tervana-cli BEFEHL [OPTIONEN]\n"
    "Befehle:\n"
    "  show FILE.k4p [--binding] [--values]   Projektbaum mit Konsistenzmarken, bindende\n"
    "                                         Restriktionen, Kennwerte der Bewegungen\n"
    "  import FILE.kq4|.kqe|.kqw -o OUT.k4p   importieren und als Projekt sichern\n"
    "  table FILE.k4p --object N [--step DEG] [--columns s,v,a,j,m,q,qv,qa,qj] [--digits D]\n"
    "        [--csv [--points K]]             Wertetabelle (oder Punkttabelle als CSV)\n"
    "                                         auf die Standardausgabe\n"
    "  export-kq4 FILE.k4p -o OUT.kq4         Berechnungseingabe schreiben\n"
    "  check FILE.k4p                         inkonsistente Objekte auflisten (Status 1)\n"
    "  calc FILE.k4p [--batch ...] [-o OUT]   Projekt(e) berechnen und mit Ergebnissen sichern\n"
    "  plot FILE.k4p [--objects 1,2|--all] [--diagrams s,s1,s2,s3,M] [--size BxH] -o OUT\n"
    "                                         Diagramme als .png .svg .pdf .bmp .emf .wmf\n"
    "  report FILE.k4p [-o OUT.rtf|OUT.pdf]   Report des Projekts als RTF (oder PDF)\n"
    "Jeder Befehl nimmt --help.\n";

const std::map<std::string, std::string> kHelp = {
    {"show", "Aufruf: tervana-cli show FILE.k4p [--binding] [--values]\n"
             "Zeigt den Projektbaum als eingerückte Beschriftungen, wie der Baum sie zeigt\n"
             "(\"! \" inkonsistent, \"K \" abgeschaltet).\n"
             "--binding: je Bewegungsvorgabe die Restriktionen, die beim erreichten beta\n"
             "binden (Istwert an einer Schranke, Toleranz 1e-4 · max(1, |Schranke|, Spanne)).\n"
             "--values: je Bewegungsvorgabe Minimum und Maximum von s ... s''' (und q, wenn\n"
             "eta > 0) und der Effektivwert von s', s'', s''' über den Zyklus.\n"},
    {"import", "Aufruf: tervana-cli import FILE.kq4|FILE.kqe|FILE.kqw -o OUT.k4p\n"
               "Importiert die Datei in ein neues Projekt und sichert es als OUT.k4p.\n"},
    {"table", "Aufruf: tervana-cli table FILE.k4p --object N [--step DEG] [--columns LISTE] "
              "[--digits D]\n"
              "N: Nummer der Bewegungsvorgabe (abs), oder A-B für die relative.\n"
              "LISTE: s,v,a,j (s, s', s'', s'''), m (s'·s''), q,qv,qa,qj (q ... q''');\n"
              "Vorgabe s,v,a. DEG 0.0001 ... 90 (Vorgabe 1), D 4 ... 10 (Vorgabe 6).\n"
              "--csv: Punkttabelle als CSV (Kopfzeile, Komma, CR LF, Dezimalpunkt) über\n"
              "einen Zyklus ohne den Endpunkt 360 (= 0): K Punkte (1 ... 1000000) bei\n"
              "i·360/K, sonst die Winkel 0, DEG, 2·DEG, ... unter 360. Die Werte sind\n"
              "exakt (die kürzeste Zahl, die denselben double ergibt); --digits kürzt sie.\n"},
    {"export-kq4", "Aufruf: tervana-cli export-kq4 FILE.k4p -o OUT.kq4\n"
                   "Schreibt die Berechnungseingabe, wie das Programm sie für den "
                   "Berechnungsmodul schreibt.\n"},
    {"check", "Aufruf: tervana-cli check FILE.k4p\n"
              "Listet inkonsistente Objekte mit dem Grund; Status 1, wenn es welche gibt.\n"},
    {"report", "Aufruf: tervana-cli report FILE.k4p [-o OUT.rtf|OUT.pdf]\n"
               "Schreibt den Report des Projekts als RTF (Windows-1252, Zeilenende CR LF)\n"
               "nach OUT.rtf, ohne -o auf die Standardausgabe. Datum: heute (UTC), oder aus\n"
               "SOURCE_DATE_EPOCH (Sekunden seit 1970, UTC). Dezimaltrennzeichen: das der\n"
               "Locale (LC_ALL, LC_NUMERIC, LANG), sonst der Punkt.\n"},
};

// Dialog texts use "\r" between lines; a terminal wants line feeds.
std::string plain(std::string text) {
    for (char& c : text)
        if (c == '\r') c = '\n';
    return text;
}

struct Args {
    std::string file;
    std::map<std::string, std::string> options;
    bool help = false;
};

// Parses FILE and --name VALUE / -o VALUE options; false with a message on bad arguments.
bool parseArgs(const std::vector<std::string>& a, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, Args& out, std::ostream& err) {
    for (std::size_t i = 1; i < a.size(); ++i) {
        const std::string& s = a[i];
        if (s == "--help" || s == "-h") {
            out.help = true;
            return true;
        }
        if (std::find(flags.begin(), flags.end(), s) != flags.end()) {
            out.options[s] = "";
            continue;
        }
        if (!s.empty() && s[0] == '-' && s.size() > 1) {
            bool known = false;
            for (const auto& v : valued) known = known || v == s;
            if (!known) {
                err << "tervana-cli " << a[0] << ": unbekannte Option " << s << "\n";
                return false;
            }
            if (i + 1 >= a.size()) {
                err << "tervana-cli " << a[0] << ": " << s << " verlangt einen Wert\n";
                return false;
            }
            out.options[s] = a[++i];
        } else if (out.file.empty()) {
            out.file = s;
        } else {
            err << "tervana-cli " << a[0] << ": überzähliges Argument " << s << "\n";
            return false;
        }
    }
    if (out.file.empty()) {
        err << "tervana-cli " << a[0] << ": Dateiname fehlt\n";
        return false;
    }
    return true;
}

Node* load(ProjectTree& tree, const std::string& path, std::ostream& err) {
    auto r = openProject(tree, path);
    if (auto* m = std::get_if<Message>(&r)) {
        err << path << ": " << plain(m->text) << "\n";
        return nullptr;
    }
    return std::get<Node*>(r);
}

void showNode(const Node& n, int depth, std::ostream& out) {
    out << std::string(static_cast<std::size_t>(2 * depth), ' ') << n.obj().Caption << "\n";
    for (const auto& c : n.children) showNode(*c, depth + 1, out);
}

// The restrictions that bind at the reached level, under each motion specification.
void showBinding(const Node& project, std::ostream& out) {
    // The level the results reached, as kept with them (older files: estimated below).
    if (auto kept = keptResult(project)) {
        kept->seconds = -1.0;
        out << "Ergebnis: " << resultText(*kept, '.') << "\n";
    }
    out << "Bindende Restriktionen:\n";
    for (const auto& c : project.children) {
        const auto* m = c->as<TPaintObj>();
        if (m == nullptr) continue;
        out << "  " << m->Caption << "\n";
        if (!m->HasResults || !m->ResultsCurrent) {
            out << "    keine aktuellen Ergebnisse\n";
            continue;
        }
        const auto binding = bindingRestrictions(*c);
        if (binding.empty()) out << "    keine\n";
        for (const Binding& b : binding)
            out << "    " << b.restriction->obj().Caption << (b.limiting ? " (begrenzt beta)" : "")
                << ": " << b.why << "\n";
    }
}

// Extremes and RMS of each motion specification's curves.
void showValues(const Node& project, std::ostream& out) {
    static const char* const sNames[] = {"s", "s'", "s''", "s'''"};
    static const char* const qNames[] = {"q", "q'", "q''", "q'''"};
    out << "Kennwerte:\n";
    for (const auto& c : project.children) {
        const auto* m = c->as<TPaintObj>();
        if (m == nullptr) continue;
        out << "  " << m->Caption << "\n";
        const CharacteristicValues v = characteristicValues(*m);
        if (!v.hasResults) {
            out << "    keine Ergebnisse\n";
            continue;
        }
        auto line = [&](const char* name, const Extremes& e, const double* rms) {
            std::string label = name;
            label.resize(6, ' ');
            out << "    " << label << "min " << FormatReal(e.min, 6) << "  max "
                << FormatReal(e.max, 6);
            if (rms != nullptr) out << "  eff " << FormatReal(*rms, 6);
            out << "\n";
        };
        for (std::size_t n = 0; n < 4; ++n) line(sNames[n], v.s[n], n > 0 ? &v.rms[n] : nullptr);
        if (v.hasQ)
            for (std::size_t n = 0; n < 4; ++n) line(qNames[n], v.q[n], nullptr);
    }
}

int cmdShow(const Args& a, std::ostream& out, std::ostream& err) {
    ProjectTree tree;
    Node* p = load(tree, a.file, err);
    if (p == nullptr) return 1;
    refreshCaptions(*p);
    const bool binding = a.options.count("--binding") > 0, values = a.options.count("--values") > 0;
    if (!binding && !values) showNode(*p, 0, out);
    if (binding) showBinding(*p, out);
    if (values) showValues(*p, out);
    return 0;
}

int cmdCheck(const Args& a, std::ostream& out, std::ostream& err) {
    ProjectTree tree;
    Node* p = load(tree, a.file, err);
    if (p == nullptr) return 1;
    int bad = 0;
    forEachNode(*p, [&](Node& n) {
        if (n.obj().CheckValid()) return;
        ++bad;
        std::string path;
        for (const Node* q = n.parent; q != nullptr && q->parent != nullptr; q = q->parent)
            path = q->obj().Caption + " / " + path;
        out << path << n.obj().Caption << ": "
            << inconsistencyReason(n.obj()).value_or("inkonsistent") << "\n";
    });
    if (bad > 0) {
        err << plain(kInconsistentProject) << "\n";
        return 1;
    }
    out << "konsistent\n";
    return 0;
}

int cmdImport(const Args& a, std::ostream& out, std::ostream& err) {
    auto o = a.options.find("-o");
    if (o == a.options.end()) {
        err << "tervana-cli import: -o OUT.k4p fehlt\n";
        return 2;
    }
    ProjectTree tree;
    auto r = importFile(tree, a.file, nullptr, true);
    if (auto* m = std::get_if<Message>(&r)) {
        err << a.file << ": " << plain(m->text) << "\n";
        return 1;
    }
    Node* p = std::get<Node*>(r);
    if (p == nullptr) {
        err << "tervana-cli import: nur .kq4, .kqe und .kqw können importiert werden\n";
        return 1;
    }
    if (auto m = saveProjectAs(*p, o->second)) {
        err << o->second << ": " << plain(m->text) << "\n";
        return 1;
    }
    out << o->second << "\n";
    return 0;
}

bool parseColumns(const std::string& list, TableSettings& t) {
    t.s.fill(false);
    t.q.fill(false);
    t.M = false;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string c = list.substr(start, end - start);
        if (c == "s")
            t.s[0] = true;
        else if (c == "v")
            t.s[1] = true;
        else if (c == "a")
            t.s[2] = true;
        else if (c == "j")
            t.s[3] = true;
        else if (c == "m")
            t.M = true;
        else if (c == "q")
            t.q[0] = true;
        else if (c == "qv")
            t.q[1] = true;
        else if (c == "qa")
            t.q[2] = true;
        else if (c == "qj")
            t.q[3] = true;
        else
            return false;
        start = end + 1;
    }
    return t.checkedCount() > 0;
}

int cmdTable(const Args& a, std::ostream& out, std::ostream& err) {
    TableSettings t;
    auto opt = [&](const char* n) -> const std::string* {
        auto i = a.options.find(n);
        return i == a.options.end() ? nullptr : &i->second;
    };
    const std::string* object = opt("--object");
    if (object == nullptr) {
        err << "tervana-cli table: --object N fehlt\n";
        return 2;
    }
    if (const std::string* s = opt("--step")) {
        if (!parseDouble(*s, t.step) || !(t.step >= 0.0001 && t.step <= 90.0)) {
            err << "tervana-cli table: --step " << *s << " liegt nicht in 0.0001 ... 90\n";
            return 2;
        }
    }
    // The text table's digits; the CSV's values are exact unless --digits shortens them.
    std::int32_t csvDigits = 0;
    if (const std::string* s = opt("--digits")) {
        std::int32_t d = 0;
        if (!parseInt32(*s, d) || d < 4 || d > 10) {
            err << "tervana-cli table: --digits " << *s << " liegt nicht in 4 ... 10\n";
            return 2;
        }
        t.digits = csvDigits = d;
    }
    if (const std::string* s = opt("--columns")) {
        if (!parseColumns(*s, t)) {
            err << "tervana-cli table: --columns " << *s
                << " ist keine Liste aus s,v,a,j,m,q,qv,qa,qj\n";
            return 2;
        }
    }
    std::int32_t points = 0;
    const bool csv = opt("--csv") != nullptr;
    if (const std::string* s = opt("--points")) {
        if (!csv) {
            err << "tervana-cli table: --points verlangt --csv\n";
            return 2;
        }
        if (!parseInt32(*s, points) || points < 1 || points > 1000000) {
            err << "tervana-cli table: --points " << *s << " liegt nicht in 1 ... 1000000\n";
            return 2;
        }
    }
    std::int32_t n1 = 0, n2 = 0;
    const std::size_t dash = object->find('-', 1);
    const bool rel = dash != std::string::npos;
    if (rel ? !(parseInt32(object->substr(0, dash), n1) && parseInt32(object->substr(dash + 1), n2))
            : !parseInt32(*object, n1)) {
        err << "tervana-cli table: --object " << *object << " ist weder N noch A-B\n";
        return 2;
    }
    ProjectTree tree;
    Node* p = load(tree, a.file, err);
    if (p == nullptr) return 1;
    Node* node = rel ? findRel(*p, n1, n2) : findAbs(*p, n1);
    if (node == nullptr) {
        err << a.file << ": keine Bewegungsvorgabe " << *object << "\n";
        return 1;
    }
    const auto& motion = *node->as<TPaintObj>();
    out << (csv ? valueTableCsv(motion, t, points, csvDigits) : valueTable(motion, t));
    return 0;
}

int cmdExport(const Args& a, std::ostream& out, std::ostream& err) {
    auto o = a.options.find("-o");
    if (o == a.options.end()) {
        err << "tervana-cli export-kq4: -o OUT.kq4 fehlt\n";
        return 2;
    }
    ProjectTree tree;
    Node* p = load(tree, a.file, err);
    if (p == nullptr) return 1;
    if (!calculationPossible(*p, false)) {
        err << a.file << ": " << plain(kInconsistentProject) << "\n";
        return 1;
    }
    if (auto m = writeCalcInputFile(writeCalcInput(*p), o->second)) {
        err << plain(m->text) << "\n";
        return 1;
    }
    out << o->second << "\n";
    return 0;
}

// The report's date: SOURCE_DATE_EPOCH (seconds since 1970) when set, else now; in UTC.
bool reportDate(ReportDate& date, std::ostream& err) {
    const char* e = std::getenv("SOURCE_DATE_EPOCH");
    switch (sourceDateEpoch(date)) {
    case EpochDate::Valid:
        return true;
    case EpochDate::NotANumber:
        err << "tervana-cli report: SOURCE_DATE_EPOCH=" << e << " ist keine Sekundenzahl\n";
        return false;
    case EpochDate::OutOfRange:
        break;
    case EpochDate::Unset: {
        const std::time_t t = std::time(nullptr);
        std::tm tm{};
        if (::gmtime_r(&t, &tm) == nullptr) break;
        date = {tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
        return true;
    }
    }
    err << "tervana-cli report: SOURCE_DATE_EPOCH liegt außerhalb des Kalenders\n";
    return false;
}

// The decimal point of the user's locale; the program's own locale stays "C".
char localeDecimalPoint() {
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    char point = '.';
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
        const char* dp = std::localeconv()->decimal_point;
        if (dp != nullptr && dp[0] != '\0' && dp[1] == '\0') point = dp[0];
    }
    std::setlocale(LC_NUMERIC, old.c_str());
    return point;
}

int cmdReport(const Args& a, std::ostream& out, std::ostream& err) {
    ReportDate date;
    if (!reportDate(date, err)) return 2;
    ProjectTree tree;
    Node* p = load(tree, a.file, err);
    if (p == nullptr) return 1;
    const std::string text = reportText(buildReport(*p, date, localeDecimalPoint()));
    auto o = a.options.find("-o");
    if (o == a.options.end()) {
        out << text;
        return out ? 0 : 1;
    }
    if (const int e = replaceFile(o->second, text); e != 0) {
        err << "Der Report " << o->second
            << " konnte nicht geschrieben werden: " << std::strerror(e) << "\n";
        return 1;
    }
    out << o->second << "\n";
    return 0;
}

} // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string& cmd = args[0];
    auto help = kHelp.find(cmd);
    if (help == kHelp.end()) {
        err << "tervana-cli: unbekannter Befehl " << cmd << "\n" << kUsage;
        return 2;
    }
    std::vector<std::string> valued, flags;
    if (cmd == "import" || cmd == "export-kq4" || cmd == "report") valued = {"-o"};
    if (cmd == "table") valued = {"--object", "--step", "--columns", "--digits", "--points"};
    if (cmd == "table") flags = {"--csv"};
    if (cmd == "show") flags = {"--binding", "--values"};
    Args a;
    if (!parseArgs(args, valued, flags, a, err)) {
        err << help->second;
        return 2;
    }
    if (a.help) {
        out << help->second;
        return 0;
    }
    if (cmd == "show") return cmdShow(a, out, err);
    if (cmd == "check") return cmdCheck(a, out, err);
    if (cmd == "import") return cmdImport(a, out, err);
    if (cmd == "table") return cmdTable(a, out, err);
    if (cmd == "report") return cmdReport(a, out, err);
    return cmdExport(a, out, err);
}

} // namespace cli
