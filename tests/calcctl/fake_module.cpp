// A stand-in for the calculation module, driven by the file "fake.ctl" in its working
// directory. It records how it was started, then behaves as told:
//   stage DIR     copy every file of DIR into the working directory (result files, kq4.err)
//   exit N        end with exit status N (default 0)
//   sleep MS      wait before ending
//   sleep-on-run R MS   wait only on the R-th run in this directory
//   await FILE    wait (at most 20 s) until FILE exists: two runs that await each other's
//                 "pid.txt" end only when they run at the same time
//   crash         end by a signal after staging
// Records: "args.txt" (arguments, one a line), "pid.txt", "nice.txt" (its nice value),
// "seen.txt" (result files of an earlier run still present at start), "runs.txt" (count).
// With the arguments "--hold-lock DIR WORKDIR" it holds the calculation lock of the working
// folder WORKDIR (lock files in DIR) until killed.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

#include "calcctl/platform.h"

namespace fs = std::filesystem;

namespace {

void put(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--hold-lock") {
        calcctl::CalcLock lock(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (!lock.tryLock()) {
            std::cout << "busy" << std::endl;
            return 1;
        }
        std::cout << "locked" << std::endl;
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }

    std::string args;
    for (int i = 1; i < argc; ++i) args += std::string(argv[i]) + "\n";
    put("args.txt", args);
    put("pid.txt", std::to_string(getpid()));
    put("nice.txt", std::to_string(getpriority(PRIO_PROCESS, 0)));
    std::string seen;
    for (const char* f : {"remote$.kq5", "remote$.kqe", "kq4.err", "remote$.lst"})
        if (fs::exists(f)) seen += std::string(f) + "\n";
    for (int n = 1; n <= 10; ++n)
        if (fs::exists("remote$.fk" + std::to_string(n)))
            seen += "remote$.fk" + std::to_string(n) + "\n";
    put("seen.txt", seen);
    int runs = 0;
    {
        std::ifstream r("runs.txt");
        r >> runs;
    }
    put("runs.txt", std::to_string(++runs));

    int exitStatus = 0, sleepMs = 0;
    bool crash = false;
    std::string awaited;
    std::ifstream ctl("fake.ctl");
    std::string line;
    while (std::getline(ctl, line)) {
        std::istringstream in(line);
        std::string key;
        in >> key;
        if (key == "stage") {
            std::string dir;
            in >> dir;
            for (const auto& e : fs::directory_iterator(dir))
                fs::copy_file(e.path(), e.path().filename(), fs::copy_options::overwrite_existing);
        } else if (key == "exit") {
            in >> exitStatus;
        } else if (key == "sleep") {
            in >> sleepMs;
        } else if (key == "sleep-on-run") {
            int run = 0, ms = 0;
            in >> run >> ms;
            if (run == runs) sleepMs = ms;
        } else if (key == "await") {
            in >> awaited;
        } else if (key == "crash") {
            crash = true;
        }
    }
    std::cout << " fake module running" << std::endl;
    for (int i = 0; !awaited.empty() && !fs::exists(awaited) && i < 2000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    if (crash) std::raise(SIGKILL);
    return exitStatus;
}
