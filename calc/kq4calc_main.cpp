// kq4calc: the calculation module. Usage: kq4calc [input-name [report-mode]]
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "calc/kq4calc.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto env = calc::systemEnvironment();
    try {
        (void)calc::KQ4CALC(args, env);
    } catch (const std::exception& e) {
        std::cerr << "kq4calc: interner Fehler: " << e.what() << '\n';
    }
    return 0; // the outcome is in "kq4.err"
}
