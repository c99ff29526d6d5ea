// The iteration log (print level 5 and above).
#include <cmath>
#include <string>

#include "lpsolver/method/solver.h"
#include "lpsolver/print.h"

namespace lp {

void Solver::logLine(double gzrNorm) {
    if (O.printLevel < 5) return;
    const int mon = O.monitoringUnit, pu = O.printUnit;
    const bool feasible = ninf == 0;
    const double objective = feasible && lp ? objectiveValue() : sinf;
    const char* type = lp ? "LP" : "FP";
    if (mon >= 0) {
        if (O.printLevel >= 15)
            unitWrite(mon, "(/,/,/,' ',A2,' iteration',I5,/,' =================')", {type, niter});
        if (logLines == 0 || O.printLevel >= 15 || logLines % 50000 == 0)
            unitWrite(mon,
                      "(/,/,'  Itn Jdel  Jadd      Step Ninf  Sinf/Objective  Bnd ',' Lin  Art "
                      "  Zr  Norm Gz NOpt    Min Lm   Cond T')",
                      {});
        std::string mults(15, ' ');
        if (deletedThisLine) {
            const auto rec = fio::format("(I5,1P,D10.2)", {negMultipliers, minMultiplier}).at(0);
            mults = rec;
            if (negMultipliers == 0) mults.replace(0, 5, "     ");
        }
        const double cond = f.tmin > 0.0 ? f.tmax / f.tmin : 0.0;
        const std::string jdelCodeText(1, jdelLog == 0 ? ' ' : jdelCode);
        const std::string jaddCodeText(1, jaddLog == 0 ? ' ' : jaddCode);
        unitWrite(mon, "(I5,I5,A1,I5,A1,1P,D9.1,I5,D16.8,4I5,D9.1,A15,D9.1)",
                  {niter % 10000, jdelLog, jdelCodeText, jaddLog, jaddCodeText, stepLog, ninf,
                   objective, n - f.nfr, f.nwr, f.nz - nzr, nzr % 10000, gzrNorm, mults, cond});
        if (O.printLevel >= 20) logValues();
    }
    if (pu != mon) {
        if (logLines == 0) unitWrite(pu, "(/,/,'  Itn     Step Ninf Sinf/Objective  Norm Gz')", {});
        unitWrite(pu, "(I5,1P,D9.1,I5,D15.6,D9.1)", {niter, stepLog, ninf, objective, gzrNorm});
    }
    ++logLines;
    jdelLog = jaddLog = 0;
    stepLog = 0.0;
}

void Solver::logValues() {
    const int mon = O.monitoringUnit;
    const char* type = lp ? "LP" : "FP";
    unitWrite(mon,
              "(/,' Values and status of the ',A2,' constraints',/,' -----','-------------------"
              "---------------')",
              {type});
    auto listValues = [&](int from, int to) {
        std::vector<fio::Value> v;
        for (int j = from; j <= to; ++j) {
            v.emplace_back(value(j));
            v.emplace_back(istate[j - 1]);
        }
        if (!v.empty()) unitWrite(mon, "(1X,5(1P,D15.6,I5))", v);
    };
    unitWrite(mon, "(/,' Variables...')", {});
    listValues(1, n);
    if (nclin > 0) {
        unitWrite(mon, "(/,' General linear constraints...')", {});
        listValues(n + 1, nctot);
    }
    std::vector<fio::Value> bounds, rows, arts;
    for (int pos = f.nfr + 1; pos <= n; ++pos) {
        const int j = f.varorder[pos - 1];
        bounds.emplace_back(j);
        bounds.emplace_back(mult[j - 1]);
    }
    for (int t = 1; t <= f.nwr; ++t) {
        rows.emplace_back(rowOfT(t));
        rows.emplace_back(mult[n + rowOfT(t) - 1]);
    }
    for (int k = nzr + 1; k <= f.nz; ++k) arts.emplace_back(-std::fabs(gt[k - 1]));
    unitWrite(mon, "(/,' Multipliers for the ',A2,' bound  constraints   ')", {type});
    if (!bounds.empty()) unitWrite(mon, "(4(I5,1P,D11.2))", bounds);
    unitWrite(mon, "(/,' Multipliers for the ',A2,' linear constraints   ')", {type});
    if (!rows.empty()) unitWrite(mon, "(4(I5,1P,D11.2))", rows);
    unitWrite(mon, "(/,' Multipliers for the artificial constraints        ')", {});
    if (!arts.empty()) unitWrite(mon, "(4(5X,1P,D11.2))", arts);
    if (O.printLevel >= 30 && f.nwr > 0) {
        unitWrite(mon, "(/,' Diagonals of ',A2,' working set factor T')", {type});
        std::vector<fio::Value> diag;
        for (int t = 1; t <= f.nwr; ++t)
            diag.emplace_back(f.T[(t - 1) + static_cast<std::ptrdiff_t>(f.nz + t - 1) * f.ldt]);
        unitWrite(mon, "(1P,5D15.6)", diag);
    }
}

} // namespace lp
