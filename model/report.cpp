#include "model/report.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "model/band.h"
#include "model/binding.h"
#include "model/format_real.h"
#include "model/results.h"
#include "model/text_codec.h"

namespace model {

namespace {

// Symbol-font letters that are not ASCII, as Windows-1252 bytes: "£" is ≤, "Ö" is √.
const std::string kLe = "\xA3";
const std::string kSqrt = "\xD6";

const std::string kSub = R"(\sub\dn6\charscalex50)";
const std::string kSuper = R"(\super\up6\charscalex50)";

// The two tab layouts of text lines.
const std::string kT =
    R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tqdec\tx2500\tqdec\tx4000\tqc\tx5200\tqc\tx5500)"
    R"(\tqc\tx5800\tqdec\tx7000\tqdec\tx8500)";
const std::string kL = R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tql\tx2500\tqc\tx5500\tqc)"
                       R"(\tx5800\tqdec\tx7000\tqdec\tx8500)";

const std::string kHeading2 = R"(\par\pard\plain\li1200\f1\fs28\b\sb108\sa54\keepn\s2 )";
const std::string kHeading3 = R"(\par\pard\plain\li1200\f1\fs24\b\i\sb72\sa36\keepn\s3)";
const std::string kInfo = R"(\par\pard\plain\li1200\f1\fs24\i\sb24\sa24\keep\keepn\s4)";

const std::vector<std::string>& headerLines() {
    static const std::vector<std::string> lines = {
        R"({\rtf1\ansi\deff0)",
        R"({\fonttbl)",
        R"({\f0\fmodern Times New Roman;})",
        R"({\f1\fswiss Arial;})",
        R"({\f2\froman Symbol;}})",
        R"({\stylesheet)",
        R"({\s0\li1200\f0\fs24\li600HS_Text;})",
        R"({\s1\li1200\f1\fs32\b\qc\sb144\sa72\keepnHS_HL1;})",
        R"({\s2\li1200\f1\fs28\b\sb108\sa54\keepnHS_HL2;})",
        R"({\s3\li1200\f1\fs24\b\i\sb72\sa36\keepnHS_HL3;})",
        R"({\s4\li1200\f1\fs24\i\sb24\sa24\keep\keepnHS_Info;}})",
    };
    return lines;
}

// The next code point of UTF-8 text at i (advancing i); -1 for a byte that starts no valid
// sequence (one byte is consumed then).
std::int32_t nextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    int len = 0;
    std::int32_t cp = 0, min = 0;
    if (c < 0x80) {
        ++i;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return -1;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return -1;
    }
    for (int k = 1; k < len; ++k) {
        const unsigned char d = b(i + static_cast<std::size_t>(k));
        if ((d & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return -1;
    }
    i += static_cast<std::size_t>(len);
    return cp;
}

// "\uN?" for one UTF-16 unit (N signed, as RTF wants it).
std::string unicodeEscape(std::int32_t unit) {
    return "\\u" + std::to_string(unit > 0x7FFF ? unit - 0x10000 : unit) + "?";
}

// Text from the project (UTF-8) as RTF in Windows-1252: "\", "{" and "}" escaped, a character
// the code page lacks as "\uN?". With hexBytes every byte above 0x7F is written "\'XX" (names
// and headings), otherwise it stays a raw byte (the description).
std::string rtfText(const std::string& text, bool hexBytes) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        const std::int32_t cp = nextCodePoint(text, i);
        if (cp == '\\' || cp == '{' || cp == '}') {
            out += '\\';
            out += static_cast<char>(cp);
            continue;
        }
        if (cp >= 0 && cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        const std::string b =
            cp < 0 ? std::string("?") : utf8ToCp1252(text.substr(start, i - start));
        if (cp >= 0 && b == "?") {
            if (cp > 0xFFFF) {
                out += unicodeEscape(0xD800 + ((cp - 0x10000) >> 10));
                out += unicodeEscape(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += unicodeEscape(cp);
            }
        } else if (hexBytes && static_cast<unsigned char>(b[0]) >= 0x80) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02X", static_cast<unsigned char>(b[0]));
            out += hex;
        } else {
            out += b;
        }
    }
    return out;
}

std::string escaped(const std::string& name) {
    return rtfText(name, true);
}

double zeroed(double v) {
    return std::fabs(v) < 1e-6 ? 0.0 : v;
}

// The frequency ratio the calculation returned (element 0 of the s series), zeroed.
double resultEta(const TPaintObj& m) {
    return zeroed(m.s_sin(0, 0));
}

// s^(n) or q^(n): the letter followed by n apostrophes.
std::string derivative(const char* letter, int n) {
    return letter + std::string(static_cast<std::size_t>(n), '\'');
}

class Builder {
public:
    Builder(std::vector<std::string>& lines, char separator, bool results)
        : lines_(lines), separator_(separator), results_(results) {}

    std::string X(double v, int digits = 6) const {
        return localizeDecimal(FormatReal(v, digits), separator_);
    }
    void add(std::string line) { lines_.push_back(std::move(line)); }

    void motionSection(const Node& node) {
        const auto& m = *node.as<THSHeader>();
        add(kHeading2 + escaped(m.Caption));
        if (!m.ShortName.empty()) add(kInfo + " " + escaped(m.ShortName));
        std::string eta = kT + R"(\tab\tab\tab\tab {\f2 h}\tab =\tab )" + X(m.RPar[2]);
        if (m.IPar[4] == 1) eta += R"(\tab ()" + X(m.RPar[1]) + ")";
        add(eta);
        add(kT + R"(\tab\tab\tab\tab {\f2 q}\tab =\tab )" + X(m.RPar[3]));
        const bool current = results_ && m.ResultsCurrent;
        if (current) coefficientsAndExtrema(m);
        restrictions(node, m, false, current);
    }

    void relativeSection(const Node& node) {
        const auto& m = *node.as<TRelHeader>();
        add(kHeading2 + escaped(m.Caption));
        restrictions(node, m, true, results_ && m.ResultsCurrent);
    }

private:
    void coefficientsAndExtrema(const TPaintObj& m) {
        add(kHeading3 + R"( Fourierkoeffizienten\plain\f0\fs24  ({\f2 h} = )" + X(resultEta(m)) +
            ")");
        const std::string sn = "s{" + kSub + " n}", cn = "c{" + kSub + " n}";
        const std::string sq = "{" + kSuper + " 2}";
        add(R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tqr\tx2000\tql\tx2500\tql\tx4000\tql)"
            R"(\tx5500\tab n\tab )" +
            sn + R"(\tab )" + cn + R"(\tab {\f2 )" + kSqrt + "} (" + cn + sq + " + " + sn + sq +
            ")");
        add(R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tqr\tx2000\tqdec\tx2500\tqdec\tx4000)"
            R"(\tqdec\tx5500\tab 0\tab \tab )" +
            X(m.s_cos(0, 0)));
        for (int n = 1; n <= m.ResultHarmonics; ++n) {
            const double s = m.s_sin(0, n), c = m.s_cos(0, n);
            add(R"(\par\tab )" + std::to_string(n) + R"(\tab )" + X(zeroed(s)) + R"(\tab )" +
                X(zeroed(c)) + R"(\tab )" + X(zeroed(std::sqrt(s * s + c * c))));
        }
        add(kHeading3 + " Extrema:");
        double lo = 0.0, hi = 360.0;
        m.GetMinMax_s(0, lo, hi);
        add(R"(\par\pard\plain\li1200\f0\fs24\li600\s0\tql\tx2500\tqc\tx3300\tqdec\tx4000)"
            R"(\tab s{\sub\dn6\charscalex50min}\tab =\tab )" +
            X(zeroed(lo)));
        add(R"(\par\tab s{\sub\dn6\charscalex50max}\tab =\tab )" + X(zeroed(hi)));
        for (int n = 1; n <= 3; ++n) {
            lo = 0.0, hi = 360.0;
            m.GetMinMax_s(n, lo, hi);
            add(R"(\par\tab |)" + derivative("s", n) + R"(|{\sub\dn6\charscalex50max}\tab =\tab )" +
                X(zeroed(std::max(std::fabs(lo), hi))));
        }
    }

    void restrictions(const Node& node, const TPaintObj& motion, bool relative, bool current) {
        int i = 0;
        for (const auto& c : node.children) {
            const auto* r = c->as<TRestr>();
            if (r == nullptr) continue;
            restriction(*r, ++i, motion, relative, current);
            if (current) overshoot(*c);
        }
    }

    // The overshoot between the sample angles, when there is one to name.
    void overshoot(const Node& restriction) {
        if (!level_) level_ = reachedLevel(*projectOf(&restriction));
        if (const double over = namedOvershoot(restriction, *level_); over > 0.0)
            add(kL + R"(\tab\tab {\i )" + escaped(overshootText(over, separator_)) + "}");
    }

    void restriction(const TRestr& r, int i, const TPaintObj& motion, bool relative, bool current) {
        const int type = r.IPar[3], g = r.IPar[8], n = r.order();
        const bool point = relative ? (type >= 40 && type <= 43) : (type >= 0 && type <= 3);
        const bool range = relative ? (type >= 50 && type <= 53) : (type >= 10 && type <= 13);
        const bool spectrum = !relative && isSpectrumKind(type);
        std::string head = kHeading3 +
                           R"(\tqdec\tx2500\tqdec\tx4000\tqc\tx5200\tqc\tx5500\tqc\tx5800\tqdec)"
                           R"(\tx7000\tqdec\tx8500 Forderung )" +
                           std::to_string(i);
        if (!relative && type < 14 && g > 0)
            head += R"({\plain\f0\fs24\i   (verkn\'FCpft im Optimierungsobjekt {\b )" +
                    std::to_string(g) + "})}";
        add(head);
        if (!point && !range && !spectrum) {
            add(kT + R"(\tab\tab\tab\tab unbekannter Forderungstyp ()" + std::to_string(type) +
                ") !");
            return;
        }
        const int p = type - 20, k = r.IPar[2];
        const std::string kSubK = "{" + kSub + " " + std::to_string(k) + "}";
        const std::string sP = "S{" + kSub + " " + std::to_string(p) + "}";
        const std::string hK = "h" + kSubK;

        // Angle or formula.
        if (point) {
            add(kT + R"(\tab\tab\tab\tab {\f2 j}\tab =\tab )" + X(r.RPar[2]));
        } else if (range) {
            std::string line = kT + (r.IPar[4] == 1 ? R"(\tab ()" + X(r.RPar[1]) + ")" : R"(\tab)");
            line += R"(\tab )" + X(r.RPar[2]) + R"({\f2\tab )" + kLe + R"(\tab j\tab )" + kLe +
                    R"(}\tab )" + X(r.RPar[4]);
            if (r.IPar[5] == 1) line += R"(\tab ()" + X(r.RPar[3]) + ")";
            add(line);
        } else {
            const std::string sum = R"(\tab{\fs24{\f2 S}{\sub\dn6\charscalex50 n}})";
            const std::string terms =
                R"(( | s{\sub\dn6\charscalex50 n} | + | c{\sub\dn6\charscalex50 n} | ) = )";
            if (type == 20)
                add(kL + sum + " " + terms + sP);
            else if (type == 21)
                add(kL + sum + " n " + terms + sP);
            else if (type < 24)
                add(kL + sum + " n {" + kSuper + " " + std::to_string(p) + "} " + terms + sP);
            else
                add(kL + R"(\tab |s)" + kSubK + "| + |c" + kSubK + "| = " + hK);
        }

        // Bounds of the global optimisation.
        const bool grouped = g > 0 && (relative || type < 14);
        if (grouped) {
            std::string line = kL + R"(\tab {\i Bereichsgrenzen:})";
            const auto bounds = [&](const char* which, double a, double b) {
                return R"({\f2 j}{)" + kSub + " " + which + R"(}\tab =\tab [)" + X(a) + R"(\tab )" +
                       X(b) + "]";
            };
            if (range) {
                add(line + R"(\tab )" + bounds("u", r.RPar[9], r.RPar[10]));
                add(R"(\par\tab\tab )" + bounds("o", r.RPar[11], r.RPar[12]));
            } else {
                add(line + R"(\tab )" + bounds("b", r.RPar[9], r.RPar[10]));
            }
        }

        // Value line.
        const std::string le = R"(\tab {\f2 )" + kLe + "}";
        if (spectrum) {
            std::string line = kT + R"(\tab\tab\tab\tab )" + (type == 24 ? hK : sP) + le;
            line += r.IPar[6] != 0 ? R"(\tab ()" + X(r.RPar[5]) + R"()\tab )" + X(r.RPar[6])
                                   : R"(\tab )" + X(r.RPar[6]);
            add(line);
        } else {
            std::string line = kT;
            if (r.IPar[6] == 0)
                line += R"(\tab\tab )" + X(r.RPar[6]) + le;
            else if (r.IPar[6] == 1)
                line += R"(\tab )" + X(r.RPar[6]) + R"(\tab ()" + X(r.RPar[5]) + ")" + le;
            else
                line += R"(\tab\tab\tab)";
            line += R"(\tab )" + derivative("s", n);
            if (r.IPar[7] == 0)
                line += le + R"(\tab )" + X(r.RPar[8]);
            else if (r.IPar[7] == 1)
                line += le + R"(\tab ()" + X(r.RPar[7]) + R"()\tab )" + X(r.RPar[8]);
            add(line);
        }

        if (!current) return;
        add(kL + R"(\tab {\i\b Ergebnis:})");
        if (grouped) {
            const std::string star = R"({\f2\b j{)" + kSuper + " *}}";
            if (point)
                add(kT + R"(\tab\tab\tab\tab)" + star + R"(\tab =\tab )" + X(r.GlobalPar[2]));
            else
                add(kT + R"(\tab\tab)" + X(r.GlobalPar[2]) + R"(\tab{\f2 )" + kLe + "}" +
                    R"(\tab)" + star + R"(\tab{\f2 )" + kLe + R"(}\tab )" + X(r.GlobalPar[4]));
        }
        if (spectrum) {
            add(kL + R"(\tab\tab )" + (type == 24 ? hK : sP) + R"(\tab =\tab )" + X(r.ActualS[4]));
            return;
        }
        // q follows the results: the eta the calculation returned, as the coefficient heading.
        const bool withQ = !relative && resultEta(motion) > 0;
        actualValues(r, r.ActualS, derivative("s", n), range, !withQ);
        if (withQ) actualValues(r, r.ActualQ, derivative("q", n), range, false);
    }

    // The angle interval (range types) and the extremes reached, with 5 digits.
    void actualValues(const TRestr& r, const std::array<double, 5>& v, const std::string& name,
                      bool range, bool unnamedInterval) {
        const auto Y = [&](double x) { return X(x, 5); };
        if (range)
            add(kT +
                (unnamedInterval ? std::string(R"(\tab\tab )") : R"(\tab )" + name + R"(:\tab )") +
                Y(v[1]) + R"({\f2\tab )" + kLe + R"(\tab{\b j}\tab )" + kLe + R"(}\tab )" +
                Y(v[2]));
        std::string line = kT;
        line += r.IPar[6] == -1 ? R"(\tab\tab\tab)"
                                : R"(\tab\tab )" + Y(v[3]) + R"(\tab {\f2 )" + kLe + "}";
        line += R"(\tab {\b )" + name + "}";
        if (r.IPar[7] != -1) line += R"(\tab {\f2 )" + kLe + R"(}\tab )" + Y(v[4]);
        add(line);
    }

    std::vector<std::string>& lines_;
    char separator_;
    bool results_;
    std::optional<double> level_; // the level of the results, once needed
};

} // namespace

std::vector<std::string> buildReport(const Node& project, const ReportDate& date,
                                     char decimalSeparator) {
    std::vector<std::string> lines = headerLines();
    const auto* p = project.as<TProject>();
    if (p == nullptr) return lines;
    const std::string name = escaped(p->Caption);
    const std::string d = std::to_string(date.day) + "." + std::to_string(date.month) + "." +
                          std::to_string(date.year);
    lines.push_back(R"({\header\pard\plain\f1\fs16\qj\b\i\ul\tqr\tx9023 )" + name + R"(\tab )" + d +
                    R"(\par})");
    lines.push_back(R"({\headerf\pard\plain\par})");
    lines.push_back(R"(\pard\plain\li1200\f1\fs32\b\qc\sb144\sa72\keepn\s1 Projekt: )" + name);
    if (!p->Description.empty())
        lines.push_back(kInfo + R"(\qc )" + rtfText(p->Description, false));
    lines.push_back(kInfo + R"(\qc Stand: )" + d);
    if (auto kept = keptResult(project)) {
        kept->seconds = -1.0; // the time of a run is no property of the design
        lines.push_back(kInfo + R"(\qc )" + escaped(resultText(*kept, decimalSeparator)));
    }
    Builder b(lines, decimalSeparator, p->ResultsStored);
    for (const auto& c : project.children) {
        if (c->as<THSHeader>() != nullptr)
            b.motionSection(*c);
        else if (c->as<TRelHeader>() != nullptr)
            b.relativeSection(*c);
    }
    lines.push_back("}");
    return lines;
}

std::string reportText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    return text;
}

EpochDate sourceDateEpoch(ReportDate& date) {
    const char* e = std::getenv("SOURCE_DATE_EPOCH");
    if (e == nullptr || *e == '\0') return EpochDate::Unset;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(e, &end, 10);
    if (errno != 0 || *end != '\0' || v < 0) return EpochDate::NotANumber;
    const auto t = static_cast<std::time_t>(v);
    std::tm tm{};
    if (::gmtime_r(&t, &tm) == nullptr) return EpochDate::OutOfRange;
    date = {tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
    return EpochDate::Valid;
}

} // namespace model
