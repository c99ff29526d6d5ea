// Captures what the solver prints, record by record.
#pragma once

#include <string>
#include <vector>

#include "lpsolver/print.h"

namespace lp::test {

class CapturedOutput {
public:
    CapturedOutput() {
        previous_ = setLineSink([this](int unit, std::string_view line) {
            records.push_back(std::string(line));
            units.push_back(unit);
        });
    }
    ~CapturedOutput() { setLineSink(previous_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::string text() const {
        std::string t;
        for (const auto& r : records) t += r + "\n";
        return t;
    }
    bool contains(std::string_view line) const {
        for (const auto& r : records)
            if (r == line) return true;
        return false;
    }
    void clear() {
        records.clear();
        units.clear();
    }

    std::vector<std::string> records;
    std::vector<int> units;

private:
    LineSink previous_;
};

} // namespace lp::test
