// Cross-check of fio::format against gfortran used as a black box: random templates and values
// from a fixed seed are written into one Fortran program, its output is compared line by line
// with ours.
//
// Not compared, because the two sides are meant to differ there:
//  - an integer given to F/E/D/G and a real given to I: gfortran stops with a run-time error,
//    we convert (the generator gives every field a value of its own type; the conversions are
//    checked by hand in test_format.cpp);
//  - list-directed output: ours has its own documented layout (checked in test_format.cpp);
//  - templates gfortran rejects at run time (scale factor out of range for E/D, values left over
//    with no data field to revert to): we throw std::invalid_argument, checked in
//    test_format.cpp; the generator avoids them.
#include "fio/format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Random templates.

struct Node {
    enum Kind { Data, Literal, X, Slash, Scale, Group } kind = Data;
    char letter = 'I'; // data: I F E D G A
    int repeat = 1;
    int w = 0; // A without width: 0; X: count; Scale: k
    int d = 0;
    std::string text;
    std::vector<Node> kids;
};

struct Case {
    std::string tmpl;
    std::vector<fio::Value> values;
    std::vector<std::string> fortranArgs;
};

std::string fortranString(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string fortranInt(std::int64_t v) {
    if (v == std::numeric_limits<std::int64_t>::min()) return "(-9223372036854775807_8-1_8)";
    return std::to_string(v) + "_8";
}

std::string fortranReal(double x) {
    std::int64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return "r(" + fortranInt(bits) + ")";
}

std::string hexReal(double x) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::hex);
    std::string s(buf, r.ptr);
    if (!std::isfinite(x)) return s;
    return s[0] == '-' ? "-0x" + s.substr(1) : "0x" + s;
}

double parseDecimal(const std::string& s) {
    double v = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_EQ(r.ec, std::errc()) << s;
    return v;
}

class Generator {
public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    Case next() {
        // Scale factors of this case lie in [kLo, kHi]; every E/D/G field gets enough digits
        // for all of them (-d < k < d + 2).
        usesScale_ = chance(0.45);
        kLo_ = usesScale_ ? uniform(-2, 1) : 0;
        kHi_ = usesScale_ ? uniform(std::max(kLo_, 0), 3) : 0;
        dMin_ = std::max({1, 1 - kLo_, kHi_ - 1});

        std::vector<Node> top = list(0);
        Case c;
        c.tmpl = "(" + render(top) + ")";
        std::vector<const Node*> pass;
        std::vector<const Node*> again;
        expand(top, 0, pass);
        std::size_t from = 0;
        for (std::size_t i = 0; i < top.size(); ++i)
            if (top[i].kind == Node::Group) from = i;
        expand(top, from, again);

        std::size_t n = pass.size();
        const double r = real01();
        if (r < 0.15)
            n = static_cast<std::size_t>(uniform(0, static_cast<int>(pass.size())));
        else if (r > 0.6)
            n = pass.size() +
                static_cast<std::size_t>(uniform(1, 2 * static_cast<int>(again.size())));
        for (std::size_t i = 0; i < n; ++i) {
            const Node* f = i < pass.size() ? pass[i] : again[(i - pass.size()) % again.size()];
            value(*f, c);
        }
        return c;
    }

private:
    std::mt19937_64 rng_;
    bool usesScale_ = false;
    int kLo_ = 0;
    int kHi_ = 0;
    int dMin_ = 1;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    double real01() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }
    bool chance(double p) { return real01() < p; }

    // A list of items, at least one of them a data field so that reversion always finds one.
    std::vector<Node> list(int depth) {
        std::vector<Node> items;
        const int count = uniform(1, depth == 0 ? 6 : 3);
        bool hasData = false;
        for (int i = 0; i < count; ++i) {
            items.push_back(item(depth));
            hasData = hasData || containsData(items.back());
        }
        if (!hasData) items.insert(items.begin() + uniform(0, count), dataNode());
        return items;
    }

    static bool containsData(const Node& n) {
        if (n.kind == Node::Data) return true;
        for (const Node& k : n.kids)
            if (containsData(k)) return true;
        return false;
    }

    Node item(int depth) {
        const double r = real01();
        Node n;
        if (r < 0.55) return dataNode();
        if (r < 0.65) {
            static const char* texts[] = {"abc", " = ", "it's", "say \"hi\"", "",
                                          "x",   "''",  "a b",  "(1)",        "E+01"};
            n.kind = Node::Literal;
            n.text = texts[uniform(0, 9)];
            return n;
        }
        if (r < 0.73) {
            n.kind = Node::X;
            n.w = uniform(1, 5);
            return n;
        }
        if (r < 0.80) {
            n.kind = Node::Slash;
            n.repeat = chance(0.2) ? 2 : 1;
            return n;
        }
        if (r < 0.88 && usesScale_) {
            n.kind = Node::Scale;
            n.w = uniform(kLo_, kHi_);
            return n;
        }
        if (depth < 2) {
            n.kind = Node::Group;
            n.repeat = uniform(1, 3);
            n.kids = list(depth + 1);
            return n;
        }
        return dataNode();
    }

    Node dataNode() {
        Node n;
        n.kind = Node::Data;
        static const char letters[] = {'I', 'F', 'F', 'E', 'D', 'G', 'G', 'A'};
        n.letter = letters[uniform(0, 7)];
        n.repeat = chance(0.2) ? uniform(2, 4) : 1;
        switch (n.letter) {
        case 'I':
            n.w = uniform(1, 25);
            break;
        case 'F':
            n.w = uniform(1, 30);
            n.d = uniform(0, std::min(n.w, 15));
            break;
        case 'A':
            n.w = chance(0.4) ? 0 : uniform(1, 12);
            break;
        default: // E, D, G
            n.w = uniform(1, 30);
            n.d = uniform(dMin_, dMin_ + 12);
            break;
        }
        return n;
    }

    std::string render(const std::vector<Node>& items) {
        std::string s;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) {
                const Node& prev = items[i - 1];
                const Node& cur = items[i];
                const bool slash = prev.kind == Node::Slash || cur.kind == Node::Slash;
                const bool afterP = prev.kind == Node::Scale && cur.kind == Node::Data &&
                                    cur.repeat == 1 && std::strchr("FEDG", cur.letter);
                if (!((slash || afterP) && chance(0.5))) s += ',';
                if (chance(0.15)) s += ' ';
            }
            s += render(items[i]);
        }
        return s;
    }

    std::string render(const Node& n) {
        const bool lower = chance(0.15);
        switch (n.kind) {
        case Node::Literal: {
            const char q = chance(0.5) ? '\'' : '"';
            std::string s(1, q);
            for (char c : n.text) {
                s += c;
                if (c == q) s += q;
            }
            return s + q;
        }
        case Node::X:
            return std::to_string(n.w) + (lower ? "x" : "X");
        case Node::Slash:
            return n.repeat > 1 ? std::to_string(n.repeat) + "/" : "/";
        case Node::Scale:
            return std::to_string(n.w) + (lower ? "p" : "P");
        case Node::Group:
            return (n.repeat > 1 || chance(0.3) ? std::to_string(n.repeat) : "") + "(" +
                   render(n.kids) + ")";
        case Node::Data:
            break;
        }
        std::string s = n.repeat > 1 ? std::to_string(n.repeat) : "";
        s += lower ? static_cast<char>(n.letter + 32) : n.letter;
        if (n.letter == 'A') return n.w > 0 ? s + std::to_string(n.w) : s;
        s += std::to_string(n.w);
        if (n.letter != 'I') s += "." + std::to_string(n.d);
        return s;
    }

    // The data fields in the order one pass over items[from..] meets them.
    static void expand(const std::vector<Node>& items, std::size_t from,
                       std::vector<const Node*>& out) {
        for (std::size_t i = from; i < items.size(); ++i) {
            const Node& n = items[i];
            if (n.kind == Node::Data)
                for (int r = 0; r < n.repeat; ++r) out.push_back(&n);
            if (n.kind == Node::Group)
                for (int r = 0; r < n.repeat; ++r) expand(n.kids, 0, out);
        }
    }

    void value(const Node& f, Case& c) {
        if (f.letter == 'I') {
            const std::int64_t v = integer();
            c.values.emplace_back(static_cast<long long>(v));
            c.fortranArgs.push_back(fortranInt(v));
        } else if (f.letter == 'A') {
            std::string s;
            static const char chars[] = "abcXYZ0189 .,;:'\"-+*/=()";
            const int len = uniform(0, 14);
            for (int i = 0; i < len; ++i) s += chars[uniform(0, sizeof chars - 2)];
            c.values.emplace_back(s);
            c.fortranArgs.push_back(fortranString(s));
        } else {
            const double x = real(f);
            c.values.emplace_back(x);
            c.fortranArgs.push_back(fortranReal(x));
        }
    }

    std::int64_t integer() {
        const double r = real01();
        if (r < 0.05) return 0;
        if (r < 0.08)
            return chance(0.5) ? std::numeric_limits<std::int64_t>::min()
                               : std::numeric_limits<std::int64_t>::max();
        const int digits = r < 0.6 ? uniform(1, 5) : uniform(1, 18);
        std::int64_t v = 0;
        for (int i = 0; i < digits; ++i) v = v * 10 + uniform(0, 9);
        return chance(0.4) ? -v : v;
    }

    std::string digits(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('0' + uniform(0, 9));
        return s;
    }

    double nudge(double x) {
        // A few ulps either way, or none.
        const int steps = chance(0.5) ? 0 : uniform(-2, 2);
        for (int i = 0; i < steps; ++i) x = std::nextafter(x, HUGE_VAL);
        for (int i = 0; i > steps; --i) x = std::nextafter(x, -HUGE_VAL);
        return x;
    }

    double real(const Node& f) {
        const double sign = chance(0.45) ? -1.0 : 1.0;
        const double r = real01();
        if (r < 0.06) return sign * 0.0;
        if (r < 0.09) {
            const int which = uniform(0, 2);
            if (which == 0) return std::numeric_limits<double>::quiet_NaN();
            return sign * std::numeric_limits<double>::infinity();
        }
        if (r < 0.30) {
            // Anywhere from the subnormals to near the top of the range.
            const double m = std::uniform_real_distribution<double>(1.0, 10.0)(rng_);
            return sign * m * std::pow(10.0, uniform(-310, 299));
        }
        if (r < 0.55) {
            // Magnitudes that mostly fit the fields.
            const double m = std::uniform_real_distribution<double>(1.0, 10.0)(rng_);
            return sign * m * std::pow(10.0, uniform(-6, 9));
        }
        if (r < 0.72) {
            // Decimal halfway cases at the last digit shown: d decimals for F, d significant
            // digits for E, D and G, followed by a 5.
            std::string s;
            if (f.letter == 'F')
                s = digits(uniform(0, 6)) + "0." + digits(f.d) + "5";
            else
                s = "0." + digits(f.d) + "5e" + std::to_string(uniform(-30, 30));
            if (s[0] == '.') s = "0" + s;
            return sign * nudge(parseDecimal(s));
        }
        if (r < 0.82) {
            // Exact binary halfway cases: odd multiples of a small power of two.
            const int j = uniform(1, 8);
            const double odd = 2.0 * uniform(0, 200000) + 1.0;
            return sign * std::ldexp(odd, -j);
        }
        // Switch points between the fixed and the exponent form of G with this many digits:
        // 10^s - 0.5*10^(s-d), s = -1 .. d+1.
        const int d = f.d > 0 ? f.d : 1;
        const int s = uniform(-1, d + 1);
        const std::string m = std::string(static_cast<std::size_t>(d), '9') + "5";
        return sign * nudge(parseDecimal(m + "e" + std::to_string(s - d - 1)));
    }
};

// ---------------------------------------------------------------------------------------------
// The Fortran side.

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::stringstream ss(path);
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        if (dir.empty()) continue;
        const fs::path p = fs::path(dir) / name;
        std::error_code ec;
        if (fs::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0) return p.string();
    }
    return {};
}

std::string fortranProgram(const std::vector<Case>& cases) {
    std::string src = "program fiocheck\n  implicit none\n"
                      "  character(len=:), allocatable :: f\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        src += "  write(*,'(A)') '@@@ " + std::to_string(i) + "'\n";
        src += "  f = ''";
        for (std::size_t p = 0; p < c.tmpl.size(); p += 40)
            src += " // &\n      " + fortranString(c.tmpl.substr(p, 40));
        src += "\n  write(*,f)";
        for (std::size_t a = 0; a < c.fortranArgs.size(); ++a)
            src += (a == 0 ? " &\n      " : ", &\n      ") + c.fortranArgs[a];
        src += "\n";
    }
    src += "contains\n"
           "  real(8) function r(b)\n"
           "    integer(8), intent(in) :: b\n"
           "    r = transfer(b, r)\n"
           "  end function\n"
           "end program\n";
    return src;
}

std::string describe(const Case& c) {
    std::string s = "template " + c.tmpl + "\nvalues:";
    for (const fio::Value& v : c.values) {
        if (v.isInteger())
            s += " " + std::to_string(v.integer());
        else if (v.isReal())
            s += " " + hexReal(v.real());
        else
            s += " \"" + v.text() + "\"";
    }
    return s + "\n";
}

std::string showLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "  [" + l + "]\n";
    return s;
}

// The templates the programs use, with values of the right types.
std::vector<Case> fixedCases() {
    std::vector<Case> cases;
    auto add = [&](std::string tmpl, std::vector<fio::Value> values) {
        Case c;
        c.tmpl = std::move(tmpl);
        for (const fio::Value& v : values) {
            if (v.isInteger())
                c.fortranArgs.push_back(fortranInt(v.integer()));
            else if (v.isReal())
                c.fortranArgs.push_back(fortranReal(v.real()));
            else
                c.fortranArgs.push_back(fortranString(v.text()));
        }
        c.values = std::move(values);
        cases.push_back(std::move(c));
    };
    add("(F8.3,4(A1,E13.6))", {1.5, "a", -2.25e-5, "b", 3e10, "c", 0.0, "d", 1e-300});
    add("(' nh     = ',I3,12X,'          eta-max   =  ',F6.3,/,' theta  =  ',F6.3,8X,"
        "'          eta-min   =  ',F6.3)",
        {12, 0.95, 1.5707963267948966, -0.125});
    add("(1X,A1,I4,2X,A1,1X,A2,1X,1P,3G14.6,1P,2G12.4)",
        {"*", 17, "L", "UB", 1234.5678, -0.000123, 0.0, 99999.5, 1e-12});
    add("(/,' Infinite bound size....',1P,D10.2,7X,A4,' start......','.......',/,"
        "' Infinite step size.....',1P,D10.2,7X,'EPS (m','achine precision)',1P,D10.2)",
        {1e20, "Cold", 1e20, 2.220446049250313e-16});
    add("(// A / A /)", {"first", "second"});
    add("( 6X, A )", {"indented"});
    add("(13('------'))", {});
    add("(12(F9.3,' '))", {1.0, -2.5, 3.14159, 1e6, -1e5, 0.0005, -0.0005, 2.0005, 123.4565});
    add("(1X,5(1P,D15.6,I5))", {1.0, 1, -2.5e-7, 2, 6.02e23, 3, 0.0, 4, -1e-100, 5, 1e100, 6});
    add("(4(I5,1P,D11.2))", {1, 0.5, -22, 1e-5, 333, -7e7, 4444, 0.0, 55555, 9.995});
    add("(/,11A1,' monitoring information ')",
        {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"});
    add("(/,80A1)", {"=", "=", "=", "="});
    add("(I5,I5,A1,I5,A1,1P,D9.1,I5,D16.8,4I5,D9.1,A15,D9.1)",
        {1, 2, "a", 3, "b", 1e-8, 4, -3.14159265358979, 5, 6, 7, 8, 0.05, "   optimal", 1e9});
    add("(F9.3,' s  ',F6.2,' %')", {12.3456, 99.995});
    add("('    phi ',A1,' s ',10X,A1,' s-s',9X,A1,'s-ss',9X,A1,'s-sss')", {"|", "|", "|", "|"});
    add("(' a(',I3,') =',E24.15,'     b(',I3,') =',E24.15)", {1, 0.1, 2, -1.0 / 3.0});
    add("(/,' Final ',A2,' objective value =',G16.7)", {"LP", -1234.56789});
    add("(/,' ** On entry with a ',A4,' Start, ISTATE(',I4,') is ou','t of range:',/,"
        "'    ISTATE(',I4,') = ',I16)",
        {"Warm", 7, 7, -3});
    return cases;
}

TEST(FormatGfortran, RandomTemplatesMatchByteForByte) {
    const std::string gfortran = findOnPath("gfortran");
    if (gfortran.empty()) GTEST_SKIP() << "gfortran is not on PATH";

    std::vector<Case> cases = fixedCases();
    Generator gen(0x5eed'f10f'0a11ULL);
    for (int i = 0; i < 400; ++i) cases.push_back(gen.next());

    static int serial = 0;
    const fs::path dir = fs::temp_directory_path() / ("fio_gfortran_" + std::to_string(getpid()) +
                                                      "_" + std::to_string(serial++));
    fs::create_directories(dir);
    {
        std::ofstream src(dir / "check.f90");
        src << fortranProgram(cases);
    }
    const std::string exe = (dir / "check").string();
    const std::string compile = "'" + gfortran + "' -O0 -ffree-line-length-none -o '" + exe +
                                "' '" + (dir / "check.f90").string() + "' > '" +
                                (dir / "compile.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(compile.c_str()), 0)
        << "gfortran failed, see " << (dir / "compile.log").string();
    const std::string run = "'" + exe + "' > '" + (dir / "out.txt").string() + "' 2> '" +
                            (dir / "err.txt").string() + "'";
    ASSERT_EQ(std::system(run.c_str()), 0) << "generated program failed, see " << dir.string();

    std::vector<std::vector<std::string>> expected(cases.size());
    {
        std::ifstream in(dir / "out.txt");
        std::string line;
        long current = -1;
        while (std::getline(in, line)) {
            if (line.rfind("@@@ ", 0) == 0) {
                current = std::stol(line.substr(4));
                continue;
            }
            ASSERT_GE(current, 0) << "output before the first case marker";
            expected[static_cast<std::size_t>(current)].push_back(line);
        }
    }
    fs::remove_all(dir);

    int failures = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::vector<std::string> ours;
        try {
            ours = fio::format(c.tmpl, c.values);
        } catch (const std::exception& e) {
            ours = {std::string("exception: ") + e.what()};
        }
        if (ours != expected[i]) {
            ++failures;
            ADD_FAILURE() << "case " << i << "\n"
                          << describe(c) << "gfortran:\n"
                          << showLines(expected[i]) << "ours:\n"
                          << showLines(ours);
        }
    }
    EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
}

} // namespace
