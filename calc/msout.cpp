#include "calc/msout.h"

#include <array>
#include <charconv>
#include <cmath>

#include "calc/msfnme.h"
#include "calc/msmod.h"
#include "fio/format.h"

namespace calc {

Coefficients objectCoefficients(const std::vector<double>& x, const ObjectLayout& o) {
    Coefficients c;
    auto X = [&x](std::int64_t j) { return x[static_cast<std::size_t>(j - 1)]; }; // 1-based
    std::int64_t j = o.first + 1;
    if (o.np == 2) {
        c.c2 = X(j);
        c.c1 = X(j + 1);
        j += 2;
    } else if (o.np == 1) {
        c.c1 = X(j);
        j += 1;
    }
    c.a0 = X(j) - X(j + 1);
    for (int k = 1; k <= o.nh; ++k) {
        const std::int64_t i = o.first + o.np + 4 * k - 1;
        c.a.push_back(X(i) - X(i + 1));
        c.b.push_back(X(i + 2) - X(i + 3));
    }
    return c;
}

std::array<double, 4> motionValues(const Coefficients& c, double phi) {
    const double x = radians(phi);
    std::array<double, 4> v{c.c2 * x * x / 2.0 + c.c1 * x + c.a0, c.c2 * x + c.c1, c.c2, 0.0};
    for (std::size_t i = 0; i < c.a.size(); ++i) {
        const double k = static_cast<double>(i + 1);
        const double cs = std::cos(k * x), sn = std::sin(k * x);
        const double a = c.a[i], b = c.b[i];
        v[0] += a * cs + b * sn;
        v[1] += k * (b * cs - a * sn);
        v[2] -= k * k * (a * cs + b * sn);
        v[3] += k * k * k * (a * sn - b * cs);
    }
    return v;
}

Coefficients outputCoefficients(const Coefficients& c, double eta, double theta) {
    Coefficients q = c;
    for (std::size_t i = 0; i < c.a.size(); ++i) {
        const DynamicFactors d = dynamicFactors(static_cast<int>(i + 1), eta, theta);
        q.a[i] = d.w * c.a[i] - d.E * c.b[i];
        q.b[i] = d.w * c.b[i] + d.E * c.a[i];
    }
    return q;
}

std::string resultExtension(const char* stem, int m) {
    return stem + std::to_string(m);
}

namespace {

std::string tabbed(double u, double v) {
    return fio::listDirected({u}) + "\t" + fio::listDirected({v});
}

void writeTable(RunState& run, const std::string& file, const Coefficients& c, double step,
                bool q) {
    OutputStream out;
    if (!out.create(file, *run.env->diag)) return;
    const std::string tab = "\t";
    out.lines(fio::format(q ? "('    phi ',A1,' q ',10X,A1,' q-s',9X,A1,'q-ss',9X,A1,'q-sss')"
                            : "('    phi ',A1,' s ',10X,A1,' s-s',9X,A1,'s-ss',9X,A1,'s-sss')",
                          {tab, tab, tab, tab}));
    const int rows = static_cast<int>(360.0 / step) + 1;
    std::array<double, 4> mx{-100000.0, -100000.0, -100000.0, -100000.0};
    std::array<double, 4> mn{100000.0, 100000.0, 100000.0, 100000.0};
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(rows));
    for (int i = 1; i <= rows; ++i) {
        const double phi = (i - 1) * step;
        const auto v = motionValues(c, phi);
        for (std::size_t k = 0; k < 4; ++k) {
            mx[k] = std::max(mx[k], v[k]);
            mn[k] = std::min(mn[k], v[k]);
        }
        lines.push_back(
            fio::format("(F8.3,4(A1,E13.6))", {phi, tab, v[0], tab, v[1], tab, v[2], tab, v[3]})
                .at(0));
    }
    out.lines(lines);
    out.lines(fio::format("(13('------'))", {}));
    out.lines(
        fio::format("('Max. :  ',4(A1,E13.6))", {tab, mx[0], tab, mx[1], tab, mx[2], tab, mx[3]}));
    out.lines(
        fio::format("('Min. :  ',4(A1,E13.6))", {tab, mn[0], tab, mn[1], tab, mn[2], tab, mn[3]}));
}

} // namespace

void MSOUT(RunState& run, const std::vector<double>& x, double beta) {
    run.signal();
    const RunInput& in = run.input;
    for (int m = 1; m <= in.params.objects; ++m) {
        const ObjectLayout& o = in.object(m);
        const ObjectBuild ob = m <= static_cast<int>(run.objects.size())
                                   ? run.objects[static_cast<std::size_t>(m - 1)]
                                   : ObjectBuild{};
        const Coefficients c = objectCoefficients(x, o);
        const double t = run.elapsed();

        OutputStream fk;
        if (fk.create(MSFNME(run.name, resultExtension("fk", m)), *run.env->diag)) {
            if (run.reportMode > 0) {
                fk.line(fio::listDirected({"Zeit: ", t, " s"}));
                fk.lines(fio::format("(' nh     = ',I3,12X,'          eta-max   =  ',F6.3,/,"
                                     "' theta  =  ',F6.3,8X,'          eta-min   =  ',F6.3)",
                                     {o.nh, ob.etaMax, ob.theta, ob.etaMin}));
                fk.lines(fio::format("(' a(0)-s =',E14.5,'            a(0)-ss   =',E14.5,/,"
                                     "' a(  0) =',E14.5,'               beta   =',E14.5)",
                                     {c.c1, c.c2, c.a0, beta}));
                std::vector<std::string> lines;
                for (int k = 1; k <= o.nh; ++k)
                    lines.push_back(fio::format("(' a(',I3,') =',E24.15,'     b(',I3,') =',E24.15)",
                                                {k, c.a[static_cast<std::size_t>(k - 1)], k,
                                                 c.b[static_cast<std::size_t>(k - 1)]})
                                        .at(0));
                fk.lines(lines);
            } else {
                std::vector<std::string> lines{tabbed(c.a0, ob.etaMax)};
                for (int k = 1; k <= o.nh; ++k)
                    lines.push_back(tabbed(c.a[static_cast<std::size_t>(k - 1)],
                                           c.b[static_cast<std::size_t>(k - 1)]));
                lines.push_back(tabbed(c.c1, c.c2));
                lines.push_back(tabbed(ob.theta, ob.etaMin));
                lines.push_back(tabbed(beta, t));
                fk.lines(lines);
            }
        }
        writeTable(run, MSFNME(run.name, resultExtension("as", m)), c, o.tableStep, false);
        if (ob.etaMax > kEtaZero)
            writeTable(run, MSFNME(run.name, resultExtension("aq", m)),
                       outputCoefficients(c, ob.etaMax, ob.theta), o.tableStep, true);
    }
}

void MSWMS1(RunState& run, const Records& records) {
    OutputStream out;
    if (!out.create(MSFNME(run.name, "kqe"), *run.env->diag)) return;
    std::vector<std::string> lines;
    for (const Record& r : records) {
        std::vector<fio::Value> ints(r.IPar.begin() + 1, r.IPar.end());
        lines.push_back(fio::listDirected(ints));
        // The reals in single precision, each in its shortest form.
        std::string reals;
        for (int k = 1; k <= 12; ++k) {
            char buf[32];
            const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<float>(r.RPar[k]));
            reals += ' ';
            reals.append(buf, res.ptr);
        }
        lines.push_back(reals);
    }
    out.lines(lines);
}

void violationReport(RunState& run) {
    run.errFile.line("Verletzung folgender Restriktionen:");
    const std::size_t rows = std::min(run.rowRecord.size(), run.rowState.size());
    for (std::size_t i = 0; i < rows; ++i) {
        const int r = run.rowRecord[i];
        if (r < 1 || r > static_cast<int>(run.records.size())) continue;
        const Record& rec = run.records[static_cast<std::size_t>(r - 1)];
        for (const int state : {-1, -2}) {
            if (run.rowState[i] != state) continue;
            const bool startsRun =
                i == 0 || run.rowState[i - 1] != state || run.rowRecord[i - 1] != r;
            if (!startsRun) continue;
            run.errFile.lines(fio::format(state == -1 ? "('   Datensatz',I3,' , obere Grenze')"
                                                      : "('   Datensatz',I3,' , untere Grenze')",
                                          {r}));
            std::vector<fio::Value> ints(rec.IPar.begin() + 1, rec.IPar.end());
            run.errFile.lines(fio::format("('                ',9I4)", ints));
            std::vector<fio::Value> reals(rec.RPar.begin() + 1, rec.RPar.end());
            run.errFile.lines(fio::format("('               ',12F8.2)", reals));
        }
    }
}

} // namespace calc
