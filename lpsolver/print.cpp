#include "lpsolver/print.h"

#include <cstdio>
#include <string>
#include <utility>

namespace lp {

namespace {

void standardOutput(int, std::string_view line) {
    if (!line.empty()) std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

LineSink& sink() {
    static LineSink s = standardOutput;
    return s;
}

} // namespace

LineSink setLineSink(LineSink s) {
    return std::exchange(sink(), s ? std::move(s) : standardOutput);
}

void unitLine(int unit, std::string_view line) {
    if (unit < 0) return;
    const auto end = line.find_last_not_of(' ');
    sink()(unit, end == std::string_view::npos ? std::string_view() : line.substr(0, end + 1));
}

void unitWrite(int unit, std::string_view tmpl, std::span<const fio::Value> values) {
    if (unit < 0) return;
    for (const std::string& record : fio::format(tmpl, values)) unitLine(unit, record);
}

} // namespace lp
