#include "calc/lp_dump.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace calc {

namespace {

std::string num(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

void writeMps(std::ostream& out, const LPProgram& lp, const std::vector<double>& cost,
              const char* name) {
    out << "NAME " << name << "\nROWS\n N obj\n";
    for (int i = 1; i <= lp.nrows; ++i) out << " G R" << i << '\n';
    out << "COLUMNS\n";
    for (int j = 1; j <= lp.nvar; ++j) {
        const std::string col = "X" + std::to_string(j);
        if (cost[static_cast<std::size_t>(j - 1)] != 0.0)
            out << ' ' << col << " obj " << num(cost[static_cast<std::size_t>(j - 1)]) << '\n';
        for (int i = 1; i <= lp.nrows; ++i) {
            const double a =
                lp.A[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * lp.lda];
            if (a != 0.0) out << ' ' << col << " R" << i << ' ' << num(a) << '\n';
        }
    }
    // Every row as lower <= a'x <= upper: a G row with its lower bound and a range.
    out << "RHS\n";
    for (int i = 1; i <= lp.nrows; ++i)
        out << " RHS R" << i << ' ' << num(lp.bl[static_cast<std::size_t>(lp.nvar + i - 1)])
            << '\n';
    out << "RANGES\n";
    for (int i = 1; i <= lp.nrows; ++i) {
        const auto k = static_cast<std::size_t>(lp.nvar + i - 1);
        out << " RNG R" << i << ' ' << num(lp.bu[k] - lp.bl[k]) << '\n';
    }
    out << "BOUNDS\n";
    for (int j = 1; j <= lp.nvar; ++j) {
        const auto k = static_cast<std::size_t>(j - 1);
        out << " LO BND X" << j << ' ' << num(lp.bl[k]) << '\n';
        out << " UP BND X" << j << ' ' << num(lp.bu[k]) << '\n';
    }
    out << "ENDATA\n";
}

bool dumpWanted() {
    const char* dir = std::getenv("KQ4_DUMP_LP");
    return dir != nullptr && *dir != '\0';
}

void dumpProgram(const LPProgram& lp, const std::vector<double>& cost) {
    static int counter = 0;
    if (!dumpWanted()) return;
    const char* dir = std::getenv("KQ4_DUMP_LP");
    char name[32];
    std::snprintf(name, sizeof name, "lp%04d", ++counter);
    std::ofstream out(std::string(dir) + "/" + name + ".mps", std::ios::binary);
    if (out) writeMps(out, lp, cost, name);
}

} // namespace calc
