// cycle_check INPUT STEM: the largest relative violation of each restriction of INPUT (a
// calculation input or varied records) by the results STEM.fk1 ... on the whole cycle, by the
// independent evaluation of the tests. One line per restriction, then the worst; exit status 1
// when the files cannot be read.
#include <cstdio>
#include <string>

#include "calc/msread.h"
#include "tests/calc/cycle_check.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: cycle_check INPUT STEM\n");
        return 2;
    }
    calc::Records rs;
    calc::test::CycleCheck c;
    if (calc::MSREAD(argv[1], rs) != calc::ReadResult::Read ||
        !calc::test::checkWholeCycle(rs, argv[2], c)) {
        std::fprintf(stderr, "cycle_check: cannot read %s or %s.fk*\n", argv[1], argv[2]);
        return 1;
    }
    for (const auto& v : c.restrictions)
        std::printf("record %3d  %10.4f %%  phi %8.3f  eta %.5f\n", v.record, 100 * v.relative,
                    v.phi, v.eta);
    std::printf("worst record %d %.4f %% beta %.10g\n", c.worst.record, 100 * c.worst.relative,
                c.beta);
    return 0;
}
