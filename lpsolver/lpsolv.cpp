// The solver entry: options with their defaults, parameter listing, input checks, the method,
// solution listing and exit messages, and the failure convention.
#include "lpsolver/lpsolv.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lpsolver/blas.h"
#include "lpsolver/machine.h"
#include "lpsolver/method/active_set.h"
#include "lpsolver/options.h"
#include "lpsolver/print.h"
#include "lpsolver/workspace.h"

namespace lp {

namespace {

constexpr const char* kTitle = " *** LPSOLV";

std::vector<fio::Value> characters(std::string_view s) {
    std::vector<fio::Value> v;
    for (char c : s) v.emplace_back(c);
    return v;
}

const char* typeName(int problemType) {
    return problemType == kTypeFP ? "FP" : "LP";
}

void printParameters(const SolveOptions& o, int n, int nclin) {
    const int u = o.printUnit;
    unitWrite(u, "(/,80A1)", characters(kTitle));
    const char* banner[] = {
        " *********************************************************************",
        "",
        " Tervana dense active-set linear programming solver",
        " DOUBLE",
        " TV-LP/1",
        " Tervana numerical routines",
        "",
        " *********************************************************************",
    };
    for (const char* line : banner) unitLine(u, line);
    unitWrite(u, "(/,' Parameters',/,' ----------')", {});
    const char* type = o.problemType == kTypeFP   ? "     FP"
                       : o.problemType == kTypeLP ? "     LP"
                                                  : "ILLEGAL";
    unitWrite(u, "(/,' Problem type...........',3X,A7)", {type});
    unitWrite(u,
              "(/,' Linear constraints.....',I10,7X,'Feasibility toleranc','e..',1P,D10.2,/,"
              "' Variables..............',I10,7X,'Crash ','tolerance........',1P,D10.2)",
              {nclin, o.feasTol, n, o.crashTol});
    unitWrite(u,
              "(/,' Infinite bound size....',1P,D10.2,7X,A4,' start......','.......',/,"
              "' Infinite step size.....',1P,D10.2,7X,'EPS (m','achine precision)',1P,D10.2)",
              {o.bigbnd, o.start == kWarmStart ? "WARM" : "COLD", o.bigstep, machine().eps});
    unitWrite(u,
              "(/,' Check frequency........',I10,7X,'Expand frequency....','...',I10,/,"
              "' Minimum sum of infeas..',7X,A3)",
              {o.checkFrequency, o.expandFrequency, o.minSum == 1 ? "YES" : " NO"});
    unitWrite(u,
              "(/,' Print level............',I10,7X,'Iteration limit.....','...',I10,/,"
              "' Monitoring file........',I10)",
              {o.printLevel, o.iterationLimit, o.monitoringUnit});
    if (o.steepestEdge == 1) unitWrite(u, "(' Steepest edge..........',7X,A3)", {"YES"});
    if (o.printLevel > 4 && o.monitoringUnit >= 0 && o.monitoringUnit != o.printUnit) {
        std::vector<fio::Value> title = characters(std::string(kTitle).substr(0, 11));
        unitWrite(o.monitoringUnit, "(/,11A1,' monitoring information ')", title);
    }
}

// Input checks in their order; returns the number of errors. Messages go to the error unit
// only when noisy.
int checkInput(int N, int NCLIN, int LDA, const double* BL, const double* BU, const int* ISTATE,
               int NIWORK, int NWORK, const SolveOptions& o, const WorkspaceLayout& ws,
               bool noisy) {
    const int e = noisy ? kErrorUnit : -1;
    int errors = 0;
    if (N <= 0) {
        ++errors;
        unitWrite(e, "(/,' ** On entry, N.le.0:',/,'    N = ',I16)", {N});
    }
    if (NCLIN < 0) {
        ++errors;
        unitWrite(e, "(/,' ** On entry, NCLIN.lt.0:',/,'    NCLIN = ',I16)", {NCLIN});
    }
    if (LDA < std::max(1, NCLIN)) {
        ++errors;
        unitWrite(e,
                  "(/,' ** On entry, LDA.lt.max(1,NCLIN):',/,'    LDA = ',I16,'   NCLIN = ',I16)",
                  {LDA, NCLIN});
    }
    const char* wsLine = "(/,' Workspace provided is     IWORK(',I8,'),  WORK(',I8,').',/,"
                         "' To solve problem we need  IWORK(',I8,'),  WORK(',I8,').')";
    const std::vector<fio::Value> wsValues{NIWORK, NWORK, static_cast<long long>(ws.needInt),
                                           static_cast<long long>(ws.needReal)};
    if (NIWORK < ws.needInt || NWORK < ws.needReal) {
        ++errors;
        unitWrite(e, wsLine, wsValues);
        unitWrite(e, "(/,' ** Not enough workspace to solve problem.')", {});
    } else if (o.printLevel > 0) {
        unitWrite(o.printUnit, wsLine, wsValues);
    }
    if (errors > 0) return errors;

    const int total = N + NCLIN;
    for (int j = 1; j <= total; ++j) {
        const double l = BL[j - 1], u = BU[j - 1];
        if (u > l || (u == l && std::fabs(l) < o.bigbnd)) continue;
        ++errors;
        const bool var = j <= N;
        const char* kind = var ? "Varbl" : "L Con";
        const int k = var ? j : j - N;
        if (l == u) {
            unitWrite(e,
                      "(/,' ** On entry, the equal bounds on  ',A5,I3,'  are infi','nite "
                      "(because',/,'    BL(',I4,').eq.beta and BU(',I4,').e','q.beta, but "
                      "abs(beta).ge.bigbnd):',/,'    beta =',G16.7,' bigbnd =',G16.7)",
                      {kind, k, j, j, l, o.bigbnd});
        } else {
            unitWrite(e,
                      "(/,' ** On entry, the bounds on  ',A5,I3,'  are inconsiste','nt:',/,"
                      "'    BL(',I4,') =',G16.7,'   BU(',I4,') =',G16.7)",
                      {kind, k, j, l, j, u});
        }
    }
    if (o.start == kWarmStart) {
        for (int j = 1; j <= total; ++j) {
            const int s = ISTATE[j - 1];
            if (s >= -2 && s <= 4) continue;
            ++errors;
            unitWrite(e,
                      "(/,' ** On entry with a ',A4,' Start, ISTATE(',I4,') is ou','t of "
                      "range:',/,'    ISTATE(',I4,') = ',I16)",
                      {"Warm", j, j, s});
        }
    }
    return errors;
}

// Residual of constraint value v to the nearer bound (the other one when that is infinite).
double slackOf(double v, double l, double u, double bigbnd) {
    const double rl = v - l, ru = u - v;
    const bool lInf = l <= -bigbnd, uInf = u >= bigbnd;
    double s = std::fabs(ru) > std::fabs(rl) ? rl : ru;
    if (s == rl && lInf)
        s = ru;
    else if (s == ru && uInf)
        s = rl;
    return s;
}

void printSolutionTable(const Problem& p, const SolveOptions& o, const int* istate, const double* x,
                        const double* ax, const double* mult) {
    static const char* kLabels[] = {"--", "++", "FR", "LL", "UL", "EQ", "TF"};
    const char* heading = "(/,/,1X,A5,1X,'State',5X,'Value',7X,'Lower Bound',3X,'Upper',' "
                          "Bound',4X,'Lagr Mult',3X,'Slack',/)";
    const int u = o.printUnit;
    for (int group = 0; group < 2; ++group) {
        const bool vars = group == 0;
        if (!vars && p.nclin == 0) break;
        unitWrite(u, heading, {vars ? "Varbl" : "L Con"});
        const int count = vars ? p.n : p.nclin;
        for (int k = 1; k <= count; ++k) {
            const int j = vars ? k : p.n + k;
            const double v = vars ? x[k - 1] : ax[k - 1];
            const double l = p.bl[j - 1], up = p.bu[j - 1];
            const int state = istate[j - 1];
            const double m = mult[j - 1];
            const double slk = slackOf(v, l, up, o.bigbnd);
            const double tol = o.feasTol;
            char flag = ' ';
            if (v - l < -tol || up - v < -tol) flag = 'I';
            if (state <= 0 && std::fabs(slk) <= tol) flag = 'D';
            if (state > 0 && std::fabs(m) <= tol) flag = 'A';
            const char* label = (state >= -2 && state <= 4) ? kLabels[state + 2] : "  ";
            std::vector<std::string> rec =
                fio::format("(1X,A1,I4,2X,A1,1X,A2,1X,1P,3G14.6,1P,2G12.4)",
                            {vars ? "V" : "L", k, flag, label, v, l, up, m, slk});
            std::string& line = rec.at(0);
            line.resize(79, ' ');
            auto put = [&line](std::size_t col, std::size_t width, std::string_view text) {
                line.replace(col + width - text.size(), text.size(), text);
            };
            // Columns: value 13..26, lower 27..40, upper 41..54, multiplier 55..66, slack 67..78.
            const bool lInf = l <= -o.bigbnd, uInf = up >= o.bigbnd;
            if (lInf)
                put(27, 14, "      None   ");
            else if (l == 0.0)
                put(27, 14, "       .     ");
            if (uInf)
                put(41, 14, "      None   ");
            else if (up == 0.0)
                put(41, 14, "       .     ");
            if (m == 0.0 || state == 0) put(55, 12, "       .   ");
            if (slk == 0.0) put(67, 12, "     .     ");
            if (lInf && uInf) line.replace(55, 24, std::string(24, ' '));
            unitLine(u, line);
        }
    }
}

int exitCode(ExitWord w) {
    switch (w) {
    case ExitWord::Feasbl:
    case ExitWord::Optiml:
        return 0;
    case ExitWord::Weak:
        return 1;
    case ExitWord::Unbndd:
        return 2;
    case ExitWord::Infeas:
    case ExitWord::Rowerr:
        return 3;
    case ExitWord::Itnlim:
        return 4;
    }
    return 3;
}

void printExit(int code, ExitWord word, const SolveOptions& o, bool noisy, int errors,
               const MethodResult* r) {
    const int pu = o.printLevel >= 1 ? o.printUnit : -1;
    const int eu = noisy ? kErrorUnit : -1;
    const char* type = typeName(o.problemType);
    switch (code) {
    case 0:
        if (o.problemType == kTypeFP)
            unitWrite(pu, "(/,' Exit LPSOLV - Feasible point found.     ')", {});
        else
            unitWrite(pu, "(/,' Exit LPSOLV - Optimal ',A2,' solution.')", {type});
        break;
    case 1:
        unitWrite(pu, "(/,' Exit LPSOLV - Weak ',A2,' solution.')", {type});
        unitWrite(eu, "(/,' ** Weak ',A2,' solution.')", {type});
        break;
    case 2:
        unitWrite(pu, "(/,' Exit LPSOLV - ',A2,' solution is unbounded.')", {type});
        unitWrite(eu, "(/,' ** ',A2,' solution is unbounded.')", {type});
        break;
    case 3:
        if (word == ExitWord::Rowerr) {
            unitWrite(pu,
                      "(/,' Exit LPSOLV - Cannot satisfy the working set constrai','nts to the "
                      "accuracy',/,'requested.')",
                      {});
            unitWrite(eu,
                      "(/,' ** Cannot satisfy the working set constraints to the ','accuracy "
                      "requested.')",
                      {});
        } else {
            unitWrite(pu, "(/,' Exit LPSOLV - No feasible point for the linear constr','aints.')",
                      {});
            unitWrite(eu, "(/,' ** No feasible point for the linear constraints.')", {});
        }
        break;
    case 4:
        unitWrite(pu, "(/,' Exit LPSOLV - Too many iterations.')", {});
        unitWrite(eu, "(/,' ** Too many iterations.')", {});
        break;
    case 6:
        unitWrite(pu,
                  "(/,' Exit LPSOLV - ',I7,' errors found in the input parame','ters.  Problem "
                  "abandoned.')",
                  {errors});
        unitWrite(eu,
                  "(/,' ** ',I7,' errors found in the input parameters.  Prob','lem abandoned.')",
                  {errors});
        break;
    case 7:
        unitWrite(pu, "(/,' Exit LPSOLV - Problem type not recognized.  Problem a','bandoned.')",
                  {});
        unitWrite(eu, "(/,' ** Problem type not recognized.  Problem abandoned.')", {});
        break;
    default:
        break;
    }
    if (code < 5 && r != nullptr) {
        if (word == ExitWord::Rowerr) {
            unitWrite(pu, "(/,' Maximum row error =',G16.7)", {r->rowError});
        } else if (r->ninf > 0) {
            if (code != 3)
                unitWrite(pu, "(/,' Final sum of infeasibilities =',G16.7)", {r->sinf});
            else if (o.minSum == 1)
                unitWrite(pu, "(/,' Minimum sum of infeasibilities =',G16.7)", {r->sinf});
            else
                unitWrite(pu, "(/,' Sum of infeasibilities =',G16.7)", {r->sinf});
        } else if (o.problemType == kTypeLP) {
            unitWrite(pu, "(/,' Final ',A2,' objective value =',G16.7)", {type, r->objective});
        }
    }
    if (code < 6 && r != nullptr)
        unitWrite(pu, "(/,' Exit from ',A2,' problem after ',I5,' iterations.')", {type, r->niter});
}

} // namespace

// The failure convention: reports an abnormal exit when the mode asks for it, stops the program
// on a hard failure, and returns the exit code as the new IFAIL.
int LPFAIL(int ifail, int code) {
    if (code == 0) return code;
    const int units = ifail % 10;
    const int tens = (ifail / 10) % 10;
    const bool soft = ifail == -13 || units == 1 || units == -1;
    const bool report = ifail == -1 || ifail == 0 || ifail == -13 || (ifail > 0 && tens != 0);
    if (!report || ifail == -13) return code;
    unitWrite(kErrorUnit, "(' ** ABNORMAL EXIT from solver routine ',A,': IFAIL',' =',I6)",
              {"LPSOLV", code});
    if (soft) {
        unitLine(kErrorUnit, " ** Soft failure - control returned");
        return code;
    }
    unitLine(kErrorUnit, " ** Hard failure - execution terminated");
    std::fflush(stdout);
    std::exit(EXIT_FAILURE);
}

} // namespace lp

void LPSOLV(int N, int NCLIN, const double* A, int LDA, const double* BL, const double* BU,
            const double* COST, int* ISTATE, double* X, int& NITER, double& FVAL, double* AXVAL,
            double* MULT, int* IWORK, int NIWORK, double* WORK, int NWORK, int& IFAIL) {
    using namespace lp;
    (void)machine(); // the table of machine constants
    setBlasSingleThreaded();
    startOptionBatch();
    const int ifail = IFAIL;
    const bool noisy = ifail == 0 || ifail == -1;

    // Defaults are worked out afresh on a working copy; the caller's settings stay as they were.
    OptionSlots& slots = optionSlots();
    const OptionSlots saved = slots;
    const SolveOptions o = resolveOptions(slots, N, NCLIN);
    const WorkspaceLayout ws = workspaceLayout(N, NCLIN, o.problemType != kTypeFP);
    if (o.printLevel > 0) printParameters(o, N, NCLIN);

    NITER = 0;
    const int errors = checkInput(N, NCLIN, LDA, BL, BU, ISTATE, NIWORK, NWORK, o, ws, noisy);
    int code = 0;
    if (errors > 0) {
        code = 6;
        printExit(code, ExitWord::Infeas, o, noisy, errors, nullptr);
    } else if (o.problemType != kTypeFP && o.problemType != kTypeLP) {
        code = 7;
        printExit(code, ExitWord::Infeas, o, noisy, 0, nullptr);
    } else {
        const Problem p{N, NCLIN, A, LDA, BL, BU, COST};
        // Q and T for all variables in the workspace when it has room for them.
        const WorkspaceLayout all = workspaceLayout(N, NCLIN, o.problemType != kTypeFP, true);
        const MethodResult r = activeSetSolve(p, o, NWORK >= all.needReal ? all : ws, ISTATE, X,
                                              AXVAL, MULT, IWORK, WORK);
        NITER = r.niter;
        const bool feasible = r.ninf == 0 && r.word != ExitWord::Rowerr;
        FVAL = (feasible && o.problemType == kTypeLP) ? r.objective : r.sinf;
        IWORK[0] = r.qIdentity ? 1 : 0;
        IWORK[1] = r.nfr;
        IWORK[2] = r.nwr;
        code = exitCode(r.word);
        if (o.printLevel == 1 || o.printLevel >= 10)
            printSolutionTable(p, o, ISTATE, X, AXVAL, MULT);
        printExit(code, r.word, o, noisy, 0, &r);
    }
    slots = saved;
    IFAIL = LPFAIL(ifail, code);
}
