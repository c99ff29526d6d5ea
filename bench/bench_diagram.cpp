// Redraw time of a diagram window's picture: ten motions of 16 harmonics (random coefficients,
// half of them with a dynamic model so that q is drawn too, each with an interval and a point
// restriction), all five diagrams, 1200 × 900 pixels into a bitmap. Prints the median of N
// redraws in milliseconds.
//   bench_diagram [--runs N] [--seed S] [--png FILE]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <time.h>
#include <vector>

#include "graphics/picture.h"
#include "model/series.h"

namespace {

std::unique_ptr<model::Node> randomMotion(int number, int harmonics, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    auto h = std::make_unique<model::THSHeader>();
    h->IPar[2] = number;
    h->IPar[3] = harmonics;
    h->sSC.ReSize(2 * harmonics + 2);
    const double eta = number % 2 == 0 ? 0.05 + 0.05 * (u(rng) + 1.0) : 0.0;
    h->sSC.set(0, eta);
    for (int i = 1; i < 2 * harmonics + 2; ++i) h->sSC.set(i, u(rng) / (i > 1 ? i / 2 : 1));
    model::deriveSeries(*h, eta, 0.1);
    h->HasResults = h->ResultsCurrent = true;
    h->PaintStyle.sColor = static_cast<std::int32_t>(rng() & 0x7F7F7F);
    h->PaintStyle.qLine = 1;
    auto node = std::make_unique<model::Node>(std::move(h));
    for (int kind : {10 + number % 4, number % 4}) {
        auto r = std::make_unique<model::TRestr>();
        r->IPar[3] = kind;
        r->IPar[6] = 1;
        r->IPar[7] = 0;
        r->GlobalPar[2] = 36.0 * number;
        r->GlobalPar[4] = 36.0 * number + 50.0;
        r->GlobalPar[5] = -0.5;
        r->GlobalPar[6] = -0.8;
        r->GlobalPar[8] = 0.9;
        node->children.push_back(std::make_unique<model::Node>(std::move(r)));
    }
    return node;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 51;
    unsigned seed = 1;
    const char* png = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--png") == 0)
            png = argv[i + 1];
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::mt19937 rng(seed);
    std::vector<std::unique_ptr<model::Node>> motions;
    graphics::Picture pic;
    for (int n = 1; n <= 10; ++n) {
        motions.push_back(randomMotion(n, 16, rng));
        pic.members.push_back(motions.back().get());
    }
    pic.choose({true, true, true, true, true});

    QImage image(1200, 900, QImage::Format_RGB32);
    // Wall time and the thread's CPU time (the machine is often shared: CPU time shows the
    // work, wall time what a user waits).
    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
    };
    std::vector<double> ms, cpu;
    for (int i = 0; i <= runs; ++i) { // the first run warms up and is not counted
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuMs();
        {
            QPainter p(&image);
            graphics::drawPicture(p, image.width(), image.height(), pic, 1);
        }
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = cpuMs();
        if (i > 0) {
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            cpu.push_back(c1 - c0);
        }
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("bench_diagram: 10 motions x 16 harmonics, 5 diagrams, 1200 x 900, %d runs: "
                "median %.2f ms wall (min %.2f, max %.2f), median %.2f ms CPU\n",
                runs, ms[ms.size() / 2], ms.front(), ms.back(), cpu[cpu.size() / 2]);
    if (png != nullptr && !image.save(QString::fromLocal8Bit(png))) return 1;
    return 0;
}
