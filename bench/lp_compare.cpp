// lp_compare: the same LPs solved by our LPSOLV, by GLPK (glp_simplex) and by CLP (ClpSimplex),
// timed side by side. Every solver gets the problem as readMps produced it (dense form, bounds
// of +-1e20 taken as absent, the objective constant included), so that the objectives compare.
//
// usage: lp_compare [--runs K] [--data DIR] [--no-ours] [--no-glpk] [--no-clp]
//                   [--clp dual|primal] [--glpk-presolve] [FILE.mps ...]
// Without files: every *.mps in DIR/netlib, then in DIR/randlp (DIR: ../shared/data next to the
// repository). Each time is the best of K runs (default 3) of the solve alone: loading the
// problem into a solver and copying it for the next run are not timed.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <ClpSimplex.hpp>
#include <CoinFinite.hpp>
#include <glpk.h>

#include "lpsolver/lpsolv.h"
#include "lpsolver/mps/lpmps_support.h"
#include "lpsolver/mps/mps_reader.h"
#include "lpsolver/workspace.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int runs = 3;
    std::filesystem::path data = TERVANA_DATA_DIR;
    bool ours = true, glpk = true, clp = true;
    bool clpPrimal = false;
    bool glpkPresolve = false;
    std::vector<std::string> files;
};

// One solver's result on one problem.
struct Outcome {
    bool run = false;
    double seconds = std::numeric_limits<double>::infinity(); // best of the runs
    double objective = std::numeric_limits<double>::quiet_NaN();
    std::string status; // "opt", or what the solver said instead
};

void out(std::string_view s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
}

std::string number(double v, std::chars_format f, int precision) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, f, precision);
    (void)ec;
    return std::string(buf, end);
}

std::string integer(long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, end);
}

std::string padLeft(std::string s, std::size_t w) {
    return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}
std::string padRight(std::string s, std::size_t w) {
    return s.size() >= w ? s : s + std::string(w - s.size(), ' ');
}

bool isInf(double v) {
    return std::fabs(v) >= lp::kMpsInfinity;
}

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// ---------------------------------------------------------------------------------------------
// Ours

Outcome solveOurs(const lp::MpsProblem& p, int runs) {
    Outcome r;
    r.run = true;
    const lp::WorkspaceLayout ws = lp::workspaceLayout(p.N, p.NCLIN, true);
    if (ws.needInt > INT_MAX || ws.needReal > INT_MAX) {
        r.status = "too large";
        return r;
    }
    const auto n = static_cast<std::size_t>(p.N), m = static_cast<std::size_t>(p.NCLIN);
    std::vector<int> istate(std::max<std::size_t>(1, n + m));
    std::vector<double> x(std::max<std::size_t>(1, n)), axval(std::max<std::size_t>(1, m));
    std::vector<double> mult(std::max<std::size_t>(1, n + m));
    std::vector<int> iwork(static_cast<std::size_t>(std::max<std::int64_t>(1, ws.needInt)));
    std::vector<double> work(static_cast<std::size_t>(std::max<std::int64_t>(1, ws.needReal)));
    for (int k = 0; k < runs; ++k) {
        std::fill(istate.begin(), istate.end(), 0);
        lp::lpmpsStartPoint(p.N, p.BL.data(), p.BU.data(), x.data());
        int niter = 0, ifail = 1; // soft and silent
        double fval = 0.0;
        const auto t0 = Clock::now();
        LPSOLV(p.N, p.NCLIN, p.A.data(), p.LDA, p.BL.data(), p.BU.data(), p.COST.data(),
               istate.data(), x.data(), niter, fval, axval.data(), mult.data(), iwork.data(),
               static_cast<int>(ws.needInt), work.data(), static_cast<int>(ws.needReal), ifail);
        r.seconds = std::min(r.seconds, seconds(t0, Clock::now()));
        r.objective = fval + p.objConstant;
        r.status = ifail == 0 ? "opt" : ifail == 1 ? "weak" : "exit " + integer(ifail);
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// GLPK

glp_prob* glpkProblem(const lp::MpsProblem& p) {
    glp_prob* g = glp_create_prob();
    glp_set_obj_dir(g, GLP_MIN);
    if (p.NCLIN > 0) glp_add_rows(g, p.NCLIN);
    if (p.N > 0) glp_add_cols(g, p.N);
    auto bounds = [](double lo, double up, int& type) {
        const bool hasLo = !isInf(lo), hasUp = !isInf(up);
        type = hasLo && hasUp ? (lo == up ? GLP_FX : GLP_DB)
               : hasLo        ? GLP_LO
               : hasUp        ? GLP_UP
                              : GLP_FR;
    };
    const auto n = static_cast<std::size_t>(p.N);
    for (int j = 0; j < p.N; ++j) {
        int type;
        const auto c = static_cast<std::size_t>(j);
        bounds(p.BL[c], p.BU[c], type);
        glp_set_col_bnds(g, j + 1, type, p.BL[c], p.BU[c]);
        glp_set_obj_coef(g, j + 1, p.COST[c]);
    }
    glp_set_obj_coef(g, 0, p.objConstant);
    for (int i = 0; i < p.NCLIN; ++i) {
        int type;
        const std::size_t r = n + static_cast<std::size_t>(i);
        bounds(p.BL[r], p.BU[r], type);
        glp_set_row_bnds(g, i + 1, type, p.BL[r], p.BU[r]);
    }
    std::vector<int> ia{0}, ja{0};
    std::vector<double> ar{0.0};
    for (int j = 0; j < p.N; ++j)
        for (int i = 0; i < p.NCLIN; ++i) {
            const double a = p.A[static_cast<std::size_t>(i) +
                                 static_cast<std::size_t>(j) * static_cast<std::size_t>(p.LDA)];
            if (a == 0.0) continue;
            ia.push_back(i + 1);
            ja.push_back(j + 1);
            ar.push_back(a);
        }
    glp_load_matrix(g, static_cast<int>(ia.size() - 1), ia.data(), ja.data(), ar.data());
    return g;
}

Outcome solveGlpk(const lp::MpsProblem& p, int runs, bool presolve) {
    Outcome r;
    r.run = true;
    glp_prob* base = glpkProblem(p);
    for (int k = 0; k < runs; ++k) {
        glp_prob* g = glp_create_prob();
        glp_copy_prob(g, base, GLP_OFF);
        glp_smcp parm;
        glp_init_smcp(&parm);
        parm.msg_lev = GLP_MSG_OFF;
        parm.presolve = presolve ? GLP_ON : GLP_OFF;
        const auto t0 = Clock::now();
        const int ret = glp_simplex(g, &parm);
        r.seconds = std::min(r.seconds, seconds(t0, Clock::now()));
        const int st = glp_get_status(g);
        r.objective = glp_get_obj_val(g);
        r.status = ret != 0           ? "error " + integer(ret)
                   : st == GLP_OPT    ? "opt"
                   : st == GLP_NOFEAS ? "infeasible"
                   : st == GLP_UNBND  ? "unbounded"
                                      : "status " + integer(st);
        glp_delete_prob(g);
    }
    glp_delete_prob(base);
    return r;
}

// ---------------------------------------------------------------------------------------------
// CLP

Outcome solveClp(const lp::MpsProblem& p, int runs, bool primal) {
    Outcome r;
    r.run = true;
    const auto n = static_cast<std::size_t>(p.N), m = static_cast<std::size_t>(p.NCLIN);
    std::vector<CoinBigIndex> start{0};
    std::vector<int> index;
    std::vector<double> value;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < m; ++i) {
            const double a = p.A[i + j * static_cast<std::size_t>(p.LDA)];
            if (a == 0.0) continue;
            index.push_back(static_cast<int>(i));
            value.push_back(a);
        }
        start.push_back(static_cast<CoinBigIndex>(index.size()));
    }
    auto clpBound = [](double v) {
        return v <= -lp::kMpsInfinity ? -COIN_DBL_MAX : v >= lp::kMpsInfinity ? COIN_DBL_MAX : v;
    };
    std::vector<double> collb(n), colub(n), rowlb(m), rowub(m);
    for (std::size_t j = 0; j < n; ++j) collb[j] = clpBound(p.BL[j]), colub[j] = clpBound(p.BU[j]);
    for (std::size_t i = 0; i < m; ++i)
        rowlb[i] = clpBound(p.BL[n + i]), rowub[i] = clpBound(p.BU[n + i]);

    ClpSimplex base;
    base.setLogLevel(0);
    base.loadProblem(p.N, p.NCLIN, start.data(), index.data(), value.data(), collb.data(),
                     colub.data(), p.COST.data(), rowlb.data(), rowub.data());
    // CLP reports objectiveValue() = c'x - offset.
    base.setObjectiveOffset(-p.objConstant);
    for (int k = 0; k < runs; ++k) {
        ClpSimplex model(base);
        model.setLogLevel(0);
        const auto t0 = Clock::now();
        if (primal)
            model.primal();
        else
            model.dual();
        r.seconds = std::min(r.seconds, seconds(t0, Clock::now()));
        r.objective = model.objectiveValue();
        const int st = model.status();
        r.status = st == 0   ? "opt"
                   : st == 1 ? "infeasible"
                   : st == 2 ? "unbounded"
                             : "status " + integer(st);
    }
    return r;
}

// ---------------------------------------------------------------------------------------------

bool parseArgs(int argc, char** argv, Options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view a = argv[k];
        auto next = [&]() -> std::string_view { return k + 1 < argc ? argv[++k] : ""; };
        if (a == "--runs") {
            const std::string_view v = next();
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.runs);
            if (ec != std::errc() || end != v.data() + v.size() || o.runs < 1) return false;
        } else if (a == "--data") {
            o.data = std::string(next());
            if (o.data.empty()) return false;
        } else if (a == "--no-ours") {
            o.ours = false;
        } else if (a == "--no-glpk") {
            o.glpk = false;
        } else if (a == "--no-clp") {
            o.clp = false;
        } else if (a == "--clp") {
            const std::string_view v = next();
            if (v != "dual" && v != "primal") return false;
            o.clpPrimal = v == "primal";
        } else if (a == "--glpk-presolve") {
            o.glpkPresolve = true;
        } else if (a.starts_with("-")) {
            return false;
        } else {
            o.files.emplace_back(a);
        }
    }
    return true;
}

std::vector<std::string> defaultFiles(const std::filesystem::path& data) {
    std::vector<std::string> files;
    for (const char* sub : {"netlib", "randlp"}) {
        std::vector<std::string> some;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(data / sub, ec))
            if (e.path().extension() == ".mps") some.push_back(e.path().string());
        std::sort(some.begin(), some.end());
        files.insert(files.end(), some.begin(), some.end());
    }
    return files;
}

// The first column left-aligned, the others right-aligned, one blank between them.
std::string tableLine(const std::vector<std::string>& cells, const std::vector<std::size_t>& w) {
    std::string line;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k > 0) line += ' ';
        line += k == 0 ? padRight(cells[k], w[k]) : padLeft(cells[k], w[k]);
    }
    return line;
}

std::string timeText(const Outcome& r) {
    return r.run ? number(r.seconds, std::chars_format::fixed, 4) : "-";
}

std::string objectiveText(const Outcome& r) {
    if (!r.run) return "-";
    std::string s = lp::significant12(r.objective);
    if (r.status != "opt") s += " (" + r.status + ")";
    return s;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) {
        std::fputs("usage: lp_compare [--runs K] [--data DIR] [--no-ours] [--no-glpk] [--no-clp]\n"
                   "                  [--clp dual|primal] [--glpk-presolve] [FILE.mps ...]\n",
                   stderr);
        return 2;
    }
    if (o.files.empty()) o.files = defaultFiles(o.data);
    if (o.files.empty()) {
        std::fputs(("lp_compare: no MPS files in " + (o.data / "netlib").string() + " or " +
                    (o.data / "randlp").string() + "\n")
                       .c_str(),
                   stderr);
        return 2;
    }
    glp_term_out(GLP_OFF);
    LPOPTN("Nolist");
    LPOPTN("Print level 0");

    out("best of " + integer(o.runs) + " runs; GLPK " + glp_version() + " glp_simplex (presolve " +
        (o.glpkPresolve ? "on" : "off") +
        "), CLP ClpSimplex::" + (o.clpPrimal ? "primal" : "dual") + "()\n\n");
    const std::vector<std::size_t> w{18, 6, 6, 10, 10, 10, 9, 26, 26, 26};
    const std::vector<std::string> head{
        "problem", "rows",      "cols",           "ours [s]",       "GLPK [s]",
        "CLP [s]", "ours/best", "objective ours", "objective GLPK", "objective CLP"};
    const std::string header = tableLine(head, w);
    out(header + "\n" + std::string(header.size(), '-') + "\n");

    double logRatioSum = 0.0;
    int ratios = 0;
    for (const std::string& file : o.files) {
        lp::MpsProblem p;
        std::string message;
        const std::string name = std::filesystem::path(file).stem().string();
        if (lp::readMps(file, p, message) != lp::MpsStatus::Read) {
            out(padRight(name, w[0]) + " " + message + "\n");
            continue;
        }
        Outcome ours, glpk, clp;
        if (o.ours) ours = solveOurs(p, o.runs);
        if (o.glpk) glpk = solveGlpk(p, o.runs, o.glpkPresolve);
        if (o.clp) clp = solveClp(p, o.runs, o.clpPrimal);
        const double best =
            std::min(glpk.run ? glpk.seconds : HUGE_VAL, clp.run ? clp.seconds : HUGE_VAL);
        std::string ratio = "-";
        if (ours.run && std::isfinite(best) && best > 0.0) {
            ratio = number(ours.seconds / best, std::chars_format::fixed, 2);
            logRatioSum += std::log(ours.seconds / best);
            ++ratios;
        }
        const std::vector<std::string> cells{name,
                                             integer(p.NCLIN),
                                             integer(p.N),
                                             timeText(ours),
                                             timeText(glpk),
                                             timeText(clp),
                                             ratio,
                                             objectiveText(ours),
                                             objectiveText(glpk),
                                             objectiveText(clp)};
        out(tableLine(cells, w) + "\n");
        std::fflush(stdout);
    }
    if (ratios > 0)
        out("\ngeometric mean of ours/best over " + integer(ratios) + " problems: " +
            number(std::exp(logRatioSum / ratios), std::chars_format::fixed, 2) + "\n");
    return 0;
}
