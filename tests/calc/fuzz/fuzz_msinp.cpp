// Fuzz target: kq4calc's own input reading and checks. Arbitrary bytes are the input file of a
// run; its reading (records, run parameters, validation, variable layout) must neither crash,
// hang nor ask for unbounded memory, must end in "read" or an input error, and must create no
// file but the run's own ones in the working folder. An input error goes through the whole run
// driver (listing, violation report, result code file); a readable input stops before the
// calculation, which is not what is fuzzed here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <unistd.h>

#include "calc/kq4calc.h"
#include "calc/msinp.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder for this process: the working folder inside an otherwise empty parent, so
// that a file written beside it shows up. (It becomes the current folder: give the fuzzer
// absolute paths.)
const fs::path& workingFolder() {
    // Never destroyed: the exit handler that removes the folder still needs the name.
    static const fs::path* dir = [] {
        const fs::path parent =
            fs::temp_directory_path() / ("tervana-fuzz-msinp-" + std::to_string(::getpid()));
        fs::remove_all(parent);
        fs::create_directories(parent / "work");
        fs::current_path(parent / "work");
        std::atexit([] {
            std::error_code ec;
            fs::current_path(fs::temp_directory_path(), ec);
            fs::remove_all(workingFolder().parent_path(), ec);
        });
        return new fs::path(parent / "work");
    }();
    return *dir;
}

std::set<std::string> entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

void check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& dir = workingFolder();
    for (const auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
    {
        std::ofstream f("job.kq4", std::ios::binary);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream sink;
    calc::OutputStream listing(sink);
    calc::RunInput in;
    const calc::ResultCode code = calc::MSINP("job", listing, in);
    check(code == calc::ResultCode::Normal || code == calc::ResultCode::InputError);
    if (code == calc::ResultCode::Normal) {
        // Records in: a start record and a layout of every object.
        check(!in.records.empty());
        check(in.objects.size() == static_cast<std::size_t>(in.params.objects));
        std::int64_t next = 0;
        for (const calc::ObjectLayout& o : in.objects) {
            check(o.first == next && o.tableStep > 0.0 && o.tableStep <= 360.0);
            next += 4 * static_cast<std::int64_t>(o.nh) + o.np + 2;
        }
        check(in.variableCount == next);
        check(in.params.betaMax > 0.0 && in.params.betaMax <= 1.0);
        check(in.params.bisectionSteps >= 2 && in.params.bisectionSteps <= 50);
    } else {
        // Result code out: the whole driver on the refused input.
        calc::RunEnvironment env;
        std::istringstream console;
        std::ostringstream out, diag;
        env.in = &console;
        env.out = &out;
        env.diag = &diag;
        env.clock = [] { return 0.0; };
        env.beep = [] {};
        env.random = [] { return 0.5; };
        check(calc::KQ4CALC({"job.kq4", "0"}, env) == calc::ResultCode::InputError);
        std::ifstream r("kq4.err");
        std::string text;
        std::getline(r, text);
        check(text == " -3");
    }
    for (const std::string& name : entries(dir))
        check(name == "job.kq4" || name == "job.lst" || name == "job.err" || name == "kq4.err");
    check(entries(dir.parent_path()) == std::set<std::string>{"work"});
    return 0;
}
