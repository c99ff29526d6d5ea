#include "lpsolver/mps/mps_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace lp {

namespace {

// ---------------------------------------------------------------------------------------------
// Text helpers

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char upperCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Keywords and types compare without regard to case; names do not.
bool isWord(std::string_view word, std::string_view upper) {
    return word.size() == upper.size() &&
           std::equal(word.begin(), word.end(), upper.begin(),
                      [](char a, char b) { return upperCase(a) == b; });
}

std::string decimal(std::size_t v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, end);
}

std::string inQuotes(std::string_view s) {
    std::string q;
    q.reserve(s.size() + 2);
    q += '\'';
    q += s;
    q += '\'';
    return q;
}

// Up to kMaxWords words separated by blanks or tabs; count() tells whether there were more.
class Words {
public:
    static constexpr int kMaxWords = 8;
    explicit Words(std::string_view line) {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && isBlank(line[i])) ++i;
            if (i == line.size()) break;
            std::size_t start = i;
            while (i < line.size() && !isBlank(line[i])) ++i;
            if (n_ == kMaxWords) {
                ++n_; // more than kMaxWords: the caller rejects the line
                break;
            }
            w_[static_cast<std::size_t>(n_++)] = line.substr(start, i - start);
        }
    }
    int count() const { return n_; }
    std::string_view operator[](int k) const { return w_[static_cast<std::size_t>(k)]; }

private:
    std::array<std::string_view, kMaxWords> w_{};
    int n_ = 0;
};

// A number field: optional sign, digits with an optional point, optional exponent with E or D
// (Fortran writers use D), or the words Inf/Infinity. Read with std::from_chars, so that the
// locale plays no part. NaN and values out of the double range are not numbers here.
bool parseNumber(std::string_view s, double& value) {
    std::string_view body = s;
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (body.empty()) return false;
    if (isWord(body, "INF") || isWord(body, "INFINITY")) {
        value = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    // from_chars would also take "nan" and "inf" spellings; a number starts with a digit or '.'.
    if (!((body.front() >= '0' && body.front() <= '9') || body.front() == '.')) return false;
    std::string copy(body);
    for (char& c : copy) {
        if (c == 'D' || c == 'd') c = 'E';
    }
    double v = 0.0;
    const char* first = copy.data();
    const char* last = first + copy.size();
    auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || end != last) return false;
    value = negative ? -v : v;
    return true;
}

double clampBound(double v) {
    return std::clamp(v, -kMpsInfinity, kMpsInfinity);
}

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        return std::hash<std::string_view>{}(s);
    }
};
using NameIndex = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;

// ---------------------------------------------------------------------------------------------
// The reader of one layout (fixed or free) over one text

struct Failure {
    MpsStatus status = MpsStatus::Malformed;
    std::size_t line = 0; // 0: no particular line
    std::string text;
};

enum class Section { None, ObjSense, Rows, Columns, Rhs, Ranges, Bounds };

// Row index values other than a general row's 0-based position.
constexpr int kObjectiveRow = -1;
constexpr int kIgnoredRow = -2; // an N row after the objective

// Columns (1-based, inclusive) of the six fields of a fixed-format data line.
constexpr std::array<std::pair<std::size_t, std::size_t>, 6> kFixedFields{
    {{2, 3}, {5, 12}, {15, 22}, {25, 36}, {40, 47}, {50, 61}}};
constexpr std::size_t kFixedLastColumn = 61;

using FixedFields = std::array<std::string_view, 6>;

// Bound types: what each sets is in Reader::boundsLine.
enum class BoundKind { UP, LO, FX, FR, MI, PL, BV };
struct BoundType {
    std::string_view name;
    BoundKind kind;
    bool needsValue;
};
constexpr BoundType kBoundTypes[] = {
    {"UP", BoundKind::UP, true},  {"LO", BoundKind::LO, true},  {"FX", BoundKind::FX, true},
    {"FR", BoundKind::FR, false}, {"MI", BoundKind::MI, false}, {"PL", BoundKind::PL, false},
    {"BV", BoundKind::BV, false},
};
// Integer and semi-continuous bounds, which an LP reader cannot honour.
constexpr std::string_view kUnsupportedBoundTypes[] = {"LI", "UI", "SC"};

class Reader {
public:
    Reader(std::string_view source, bool fixed, MpsProblem& problem)
        : source_(source), fixed_(fixed), p_(problem) {}

    bool read(std::string_view text);
    const Failure& failure() const { return failure_; }

private:
    bool fail(std::string text, MpsStatus status = MpsStatus::Malformed) {
        failure_ = Failure{status, line_, std::move(text)};
        return false;
    }
    void warn(const std::string& text) {
        p_.warnings.push_back(std::string(source_) + ":" + decimal(line_) + ": " + text);
    }

    bool checkCharacters(std::string_view line);
    bool headerLine(std::string_view line, bool& done);
    bool dataLine(std::string_view line);
    bool fixedFields(std::string_view line, FixedFields& f);

    bool objSenseLine(std::string_view line);
    bool setSense(std::string_view word);
    bool rowsLine(std::string_view line);
    bool columnsLine(std::string_view line);
    bool vectorLine(std::string_view line, bool ranges);
    bool boundsLine(std::string_view line);

    bool finishColumns();
    void finish();

    int rowOf(std::string_view name) const {
        auto it = rowIndex_.find(name);
        return it == rowIndex_.end() ? INT_MIN : it->second;
    }
    int columnOf(std::string_view name) const {
        auto it = columnIndex_.find(name);
        return it == columnIndex_.end() ? -1 : it->second;
    }
    bool inFirstSet(std::string_view set, std::optional<std::string>& chosen,
                    std::vector<std::string>& ignored, const char* section);

    std::string_view source_;
    bool fixed_;
    MpsProblem& p_;
    Failure failure_;
    std::size_t line_ = 0;

    Section section_ = Section::None;
    bool seenAny_ = false, seenObjSense_ = false, senseRead_ = false;
    bool seenRows_ = false, seenColumns_ = false, seenRhs_ = false, seenRanges_ = false;
    bool seenBounds_ = false, columnsDone_ = false;

    NameIndex rowIndex_, columnIndex_;

    struct Entry {
        int column;
        int row;
        double value;
        std::size_t line;
    };
    std::vector<Entry> entries_;        // matrix entries until COLUMNS ends
    std::vector<std::size_t> costLine_; // per column: line of its objective entry, 0 if none

    std::vector<double> rhs_, range_;              // per general row
    std::vector<std::size_t> rhsLine_, rangeLine_; // line that set it, 0 if none
    double objRhs_ = 0.0;                          // RHS on the objective row
    std::size_t objRhsLine_ = 0;
    std::vector<double> lower_, upper_; // per column
    std::vector<char> lowerGiven_;      // a bound line set the lower bound
    std::optional<std::string> rhsSet_, rangesSet_, boundsSet_;
    std::vector<std::string> ignoredSets_;
};

bool Reader::read(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++line_;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMpsMaxLineLength)
            return fail("line longer than " + decimal(kMpsMaxLineLength) + " characters");
        if (!checkCharacters(line)) return false;

        if (trimBlanks(line).empty() || line.front() == '*') continue; // blank line, comment
        if (!isBlank(line.front())) {
            bool done = false;
            if (!headerLine(line, done)) return false;
            if (done) return true;
        } else if (!dataLine(line)) {
            return false;
        }
    }
    if (line_ == 0) return fail("the file is empty");
    return fail("the file ends before ENDATA");
}

bool Reader::checkCharacters(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            std::string code = "0x";
            code += hex[c >> 4];
            code += hex[c & 15];
            return fail("control character " + code + " in column " + decimal(i + 1) +
                        ": not an MPS text");
        }
    }
    return true;
}

bool Reader::headerLine(std::string_view line, bool& done) {
    const Words w(line);
    const std::string_view key = w[0];
    if (section_ == Section::ObjSense && !senseRead_)
        return fail("OBJSENSE section without MIN or MAX");

    if (isWord(key, "NAME")) {
        if (seenAny_) return fail("NAME after the first section");
        seenAny_ = true;
        if (w.count() > 1) p_.name = std::string(w[1]);
        section_ = Section::None; // the rest of the NAME line is free text
        return true;
    }
    if (isWord(key, "OBJSENSE")) {
        if (seenObjSense_) return fail("second OBJSENSE section");
        if (seenColumns_) return fail("OBJSENSE after COLUMNS");
        seenAny_ = seenObjSense_ = true;
        if (w.count() > 2) return fail("unexpected text after OBJSENSE " + std::string(w[1]));
        if (w.count() == 2) {
            section_ = Section::None;
            return setSense(w[1]);
        }
        section_ = Section::ObjSense;
        return true;
    }

    Section next = Section::None;
    if (isWord(key, "ROWS"))
        next = Section::Rows;
    else if (isWord(key, "COLUMNS"))
        next = Section::Columns;
    else if (isWord(key, "RHS"))
        next = Section::Rhs;
    else if (isWord(key, "RANGES"))
        next = Section::Ranges;
    else if (isWord(key, "BOUNDS"))
        next = Section::Bounds;
    else if (!isWord(key, "ENDATA"))
        return fail("unknown section " + inQuotes(key) +
                    " (a line starting in column 1 must be a section name)");
    if (w.count() > 1) return fail("unexpected text after " + std::string(key));
    seenAny_ = true;

    switch (next) {
    case Section::Rows:
        if (seenRows_) return fail("second ROWS section");
        seenRows_ = true;
        break;
    case Section::Columns:
        if (!seenRows_) return fail("COLUMNS before ROWS");
        if (seenColumns_) return fail("second COLUMNS section");
        seenColumns_ = true;
        break;
    case Section::Rhs:
    case Section::Ranges:
    case Section::Bounds: {
        const char* name = next == Section::Rhs      ? "RHS"
                           : next == Section::Ranges ? "RANGES"
                                                     : "BOUNDS";
        bool& seen = next == Section::Rhs      ? seenRhs_
                     : next == Section::Ranges ? seenRanges_
                                               : seenBounds_;
        if (!seenColumns_) return fail(std::string(name) + " before COLUMNS");
        if (seen) return fail(std::string("second ") + name + " section");
        seen = true;
        if (!columnsDone_ && !finishColumns()) return false;
        break;
    }
    default: // ENDATA
        if (!seenRows_) return fail("ENDATA without a ROWS section");
        if (!seenColumns_) return fail("ENDATA without a COLUMNS section");
        if (!columnsDone_ && !finishColumns()) return false;
        finish();
        done = true;
        return true;
    }
    section_ = next;
    return true;
}

bool Reader::dataLine(std::string_view line) {
    switch (section_) {
    case Section::None:
        return fail("data line outside a section");
    case Section::ObjSense:
        return objSenseLine(line);
    case Section::Rows:
        return rowsLine(line);
    case Section::Columns:
        return columnsLine(line);
    case Section::Rhs:
        return vectorLine(line, false);
    case Section::Ranges:
        return vectorLine(line, true);
    case Section::Bounds:
        return boundsLine(line);
    }
    return false;
}

bool Reader::fixedFields(std::string_view line, FixedFields& f) {
    if (line.find('\t') != std::string_view::npos)
        return fail("tab character in a fixed-format line");
    const std::size_t last = line.find_last_not_of(' ');
    const std::size_t length = last == std::string_view::npos ? 0 : last + 1;
    if (length > kFixedLastColumn)
        return fail("text beyond column " + decimal(kFixedLastColumn) + " of fixed format");
    for (std::size_t col = 1; col <= length; ++col) {
        if (line[col - 1] == ' ') continue;
        bool inField = false;
        for (const auto& [first, lastCol] : kFixedFields)
            inField = inField || (col >= first && col <= lastCol);
        if (!inField)
            return fail("text in column " + decimal(col) + ", between the fields of fixed format");
    }
    for (std::size_t k = 0; k < f.size(); ++k) {
        const auto [first, lastCol] = kFixedFields[k];
        f[k] = first > length
                   ? std::string_view()
                   : trimBlanks(line.substr(first - 1, std::min(lastCol, length) - first + 1));
    }
    return true;
}

bool Reader::setSense(std::string_view word) {
    if (isWord(word, "MAX") || isWord(word, "MAXIMIZE") || isWord(word, "MAXIMISE"))
        p_.maximize = true;
    else if (isWord(word, "MIN") || isWord(word, "MINIMIZE") || isWord(word, "MINIMISE"))
        p_.maximize = false;
    else
        return fail("objective sense " + inQuotes(word) + " is neither MIN nor MAX");
    senseRead_ = true;
    return true;
}

bool Reader::objSenseLine(std::string_view line) {
    const Words w(line);
    if (senseRead_ || w.count() != 1) return fail("OBJSENSE takes one word, MIN or MAX");
    return setSense(w[0]);
}

bool Reader::rowsLine(std::string_view line) {
    std::string_view type, name;
    if (fixed_) {
        FixedFields f;
        if (!fixedFields(line, f)) return false;
        if (!f[2].empty() || !f[3].empty() || !f[4].empty() || !f[5].empty())
            return fail("ROWS: a line holds a row type and a row name only");
        type = f[0];
        name = f[1];
    } else {
        const Words w(line);
        if (w.count() != 2) return fail("ROWS: a line holds a row type and a row name");
        type = w[0];
        name = w[1];
    }
    if (type.empty() || name.empty()) return fail("ROWS: a line holds a row type and a row name");
    const char t = type.size() == 1 ? upperCase(type[0]) : '?';
    if (t != 'N' && t != 'L' && t != 'G' && t != 'E')
        return fail("ROWS: unknown row type " + inQuotes(type) + " of row " + inQuotes(name) +
                    " (N, L, G or E)");
    if (rowIndex_.find(name) != rowIndex_.end())
        return fail("ROWS: row " + inQuotes(name) + " is declared twice");
    if (t == 'N') {
        if (p_.objectiveName.empty()) {
            rowIndex_.emplace(std::string(name), kObjectiveRow);
            p_.objectiveName = std::string(name);
        } else {
            rowIndex_.emplace(std::string(name), kIgnoredRow);
            warn("N row " + inQuotes(name) + " ignored: the objective is the first N row, " +
                 inQuotes(p_.objectiveName));
        }
        return true;
    }
    if (p_.rowNames.size() >= static_cast<std::size_t>(INT_MAX))
        return fail("too many rows", MpsStatus::TooLarge);
    rowIndex_.emplace(std::string(name), static_cast<int>(p_.rowNames.size()));
    p_.rowNames.emplace_back(name);
    p_.rowTypes.push_back(t);
    return true;
}

bool Reader::columnsLine(std::string_view line) {
    const Words w(line);
    // Integer markers, "MARKER 'MARKER' 'INTORG'" ... "MARKER 'MARKER' 'INTEND'": the columns
    // between them are read like all others (this reader produces LPs).
    if (w.count() == 3 && w[1] == "'MARKER'") {
        if (w[2] == "'INTORG'" || w[2] == "'INTEND'") return true;
        return fail("COLUMNS: MARKER line without 'INTORG' or 'INTEND'");
    }
    std::string_view column;
    std::array<std::string_view, 4> pairs{}; // row, value, row, value
    int nPairs = 0;
    if (fixed_) {
        FixedFields f;
        if (!fixedFields(line, f)) return false;
        if (!f[0].empty()) return fail("COLUMNS: unexpected text in columns 2-3");
        column = f[1];
        pairs = {f[2], f[3], f[4], f[5]};
        if (f[4].empty() != f[5].empty())
            return fail("COLUMNS: second row name without a value, or a value without a row");
        nPairs = f[4].empty() ? 1 : 2;
        if (column.empty() || f[2].empty() || f[3].empty())
            return fail("COLUMNS: a line holds a column name, a row name and a value");
    } else {
        if (w.count() != 3 && w.count() != 5)
            return fail("COLUMNS: a line holds a column name and one or two pairs of row name "
                        "and value");
        column = w[0];
        pairs = {w[1], w[2], w.count() == 5 ? w[3] : std::string_view(),
                 w.count() == 5 ? w[4] : std::string_view()};
        nPairs = w.count() == 5 ? 2 : 1;
    }

    int j = columnOf(column);
    if (j < 0) {
        if (p_.columnNames.size() >= static_cast<std::size_t>(INT_MAX))
            return fail("too many columns", MpsStatus::TooLarge);
        j = static_cast<int>(p_.columnNames.size());
        columnIndex_.emplace(std::string(column), j);
        p_.columnNames.emplace_back(column);
        p_.COST.push_back(0.0);
        costLine_.push_back(0);
    }
    for (int k = 0; k < nPairs; ++k) {
        const std::string_view rowName = pairs[static_cast<std::size_t>(2 * k)];
        const std::string_view valueText = pairs[static_cast<std::size_t>(2 * k + 1)];
        const int row = rowOf(rowName);
        if (row == INT_MIN)
            return fail("COLUMNS: unknown row " + inQuotes(rowName) + " in column " +
                        inQuotes(column));
        double v = 0.0;
        if (!parseNumber(valueText, v) || !std::isfinite(v))
            return fail("COLUMNS: bad number " + inQuotes(valueText) + " for row " +
                        inQuotes(rowName) + " in column " + inQuotes(column));
        ++p_.entries;
        if (row == kIgnoredRow) continue;
        if (row == kObjectiveRow) {
            std::size_t& first = costLine_[static_cast<std::size_t>(j)];
            if (first != 0)
                return fail("COLUMNS: second entry for row " + inQuotes(rowName) + " in column " +
                            inQuotes(column) + " (first on line " + decimal(first) + ")");
            first = line_;
            p_.COST[static_cast<std::size_t>(j)] = v;
            continue;
        }
        entries_.push_back(Entry{j, row, v, line_});
    }
    return true;
}

bool Reader::inFirstSet(std::string_view set, std::optional<std::string>& chosen,
                        std::vector<std::string>& ignored, const char* section) {
    if (set.empty()) return true;
    if (!chosen) chosen = std::string(set);
    if (*chosen == set) return true;
    const std::string key = std::string(section) + " " + std::string(set);
    if (std::find(ignored.begin(), ignored.end(), key) == ignored.end()) {
        ignored.push_back(key);
        warn(std::string(section) + " set " + inQuotes(set) + " ignored: only the first set, " +
             inQuotes(*chosen) + ", is used");
    }
    return false;
}

bool Reader::vectorLine(std::string_view line, bool ranges) {
    const char* section = ranges ? "RANGES" : "RHS";
    std::string_view set;
    std::array<std::string_view, 4> pairs{};
    int nPairs = 0;
    if (fixed_) {
        FixedFields f;
        if (!fixedFields(line, f)) return false;
        if (!f[0].empty()) return fail(std::string(section) + ": unexpected text in columns 2-3");
        set = f[1];
        pairs = {f[2], f[3], f[4], f[5]};
        if (f[2].empty() || f[3].empty() || f[4].empty() != f[5].empty())
            return fail(std::string(section) + ": a line holds a set name and one or two pairs "
                                               "of row name and value");
        nPairs = f[4].empty() ? 1 : 2;
    } else {
        // With an even number of words the set name is left out.
        const Words w(line);
        const int n = w.count();
        if (n < 2 || n > 5)
            return fail(std::string(section) + ": a line holds a set name and one or two pairs "
                                               "of row name and value");
        const int first = n % 2 == 0 ? 0 : 1;
        if (first == 1) set = w[0];
        nPairs = (n - first) / 2;
        for (int k = 0; k < 2 * nPairs; ++k) pairs[static_cast<std::size_t>(k)] = w[first + k];
    }
    if (!inFirstSet(set, ranges ? rangesSet_ : rhsSet_, ignoredSets_, section)) return true;

    for (int k = 0; k < nPairs; ++k) {
        const std::string_view rowName = pairs[static_cast<std::size_t>(2 * k)];
        const std::string_view valueText = pairs[static_cast<std::size_t>(2 * k + 1)];
        const int row = rowOf(rowName);
        if (row == INT_MIN)
            return fail(std::string(section) + ": unknown row " + inQuotes(rowName));
        double v = 0.0;
        if (!parseNumber(valueText, v))
            return fail(std::string(section) + ": bad number " + inQuotes(valueText) + " for row " +
                        inQuotes(rowName));
        if (row == kIgnoredRow) continue;
        if (row == kObjectiveRow) {
            if (ranges) {
                warn("RANGES on the objective row " + inQuotes(rowName) + " ignored");
                continue;
            }
            if (!std::isfinite(v))
                return fail("RHS: the objective row " + inQuotes(rowName) +
                            " needs a finite value, not " + inQuotes(valueText));
            if (objRhsLine_ != 0)
                return fail("RHS: second value for row " + inQuotes(rowName) + " (first on line " +
                            decimal(objRhsLine_) + ")");
            objRhs_ = v;
            objRhsLine_ = line_;
            continue;
        }
        const auto i = static_cast<std::size_t>(row);
        std::size_t& first = ranges ? rangeLine_[i] : rhsLine_[i];
        if (first != 0)
            return fail(std::string(section) + ": second value for row " + inQuotes(rowName) +
                        " (first on line " + decimal(first) + ")");
        first = line_;
        (ranges ? range_ : rhs_)[i] = v;
    }
    return true;
}

bool Reader::boundsLine(std::string_view line) {
    std::string_view type, set, column, valueText;
    const Words w(line);
    if (fixed_) {
        FixedFields f;
        if (!fixedFields(line, f)) return false;
        if (!f[4].empty() || !f[5].empty())
            return fail("BOUNDS: a line holds a bound type, a set name, a column name and a "
                        "value");
        type = f[0];
        set = f[1];
        column = f[2];
        valueText = f[3];
    } else {
        type = w.count() > 0 ? w[0] : std::string_view();
    }

    const BoundType* bound = nullptr;
    for (const BoundType& t : kBoundTypes)
        if (isWord(type, t.name)) bound = &t;
    if (bound == nullptr) {
        for (std::string_view name : kUnsupportedBoundTypes)
            if (isWord(type, name))
                return fail("BOUNDS: bound type " + inQuotes(type) + " is not supported");
        return fail("BOUNDS: unknown bound type " + inQuotes(type));
    }
    const BoundKind kind = bound->kind;
    const bool needsValue = bound->needsValue;

    if (!fixed_) {
        // The set name may be left out: "UP X 4" as well as "UP BND X 4". A value after a
        // type that takes none is allowed and not used.
        const int n = w.count();
        if (n == 4) { // type, set, column, value
            set = w[1];
            column = w[2];
            valueText = w[3];
        } else if (needsValue && n == 3) { // type, column, value
            column = w[1];
            valueText = w[2];
        } else if (!needsValue && n == 3) { // type, set, column
            set = w[1];
            column = w[2];
        } else if (!needsValue && n == 2) { // type, column
            column = w[1];
        } else {
            return fail("BOUNDS: a line holds a bound type, a set name (may be left out), a "
                        "column name and, for UP, LO and FX, a value");
        }
    }
    if (column.empty()) return fail("BOUNDS: no column name");
    if (needsValue && valueText.empty())
        return fail("BOUNDS: bound " + std::string(type) + " of column " + inQuotes(column) +
                    " without a value");
    double v = 0.0;
    if (!valueText.empty() && !parseNumber(valueText, v))
        return fail("BOUNDS: bad number " + inQuotes(valueText) + " for column " +
                    inQuotes(column));
    if (!inFirstSet(set, boundsSet_, ignoredSets_, "BOUNDS")) return true;
    const int j = columnOf(column);
    if (j < 0) return fail("BOUNDS: unknown column " + inQuotes(column));

    const auto c = static_cast<std::size_t>(j);
    switch (kind) {
    case BoundKind::UP:
        upper_[c] = v;
        // A negative upper bound with the default lower bound 0 would leave the column
        // infeasible; the customary reading takes it as [-infinity, v].
        if (v < 0.0 && !lowerGiven_[c] && lower_[c] == 0.0) {
            lower_[c] = -HUGE_VAL;
            warn("BOUNDS: negative upper bound on column " + inQuotes(column) +
                 " with the default lower bound 0: lower bound set to minus infinity");
        }
        break;
    case BoundKind::LO:
        lower_[c] = v;
        lowerGiven_[c] = 1;
        break;
    case BoundKind::FX:
        lower_[c] = upper_[c] = v;
        lowerGiven_[c] = 1;
        break;
    case BoundKind::FR:
        lower_[c] = -HUGE_VAL;
        upper_[c] = HUGE_VAL;
        lowerGiven_[c] = 1;
        break;
    case BoundKind::MI:
        lower_[c] = -HUGE_VAL;
        lowerGiven_[c] = 1;
        break;
    case BoundKind::PL:
        upper_[c] = HUGE_VAL;
        break;
    case BoundKind::BV:
        lower_[c] = 0.0;
        upper_[c] = 1.0;
        lowerGiven_[c] = 1;
        break;
    }
    return true;
}

// The end of COLUMNS fixes N and NCLIN: the matrix entries go into the dense A.
bool Reader::finishColumns() {
    columnsDone_ = true;
    const std::size_t n = p_.columnNames.size();
    const std::size_t m = p_.rowNames.size();
    const std::size_t lda = std::max<std::size_t>(1, m);
    if (n != 0 && lda > kMpsMaxDenseElements / n)
        return fail("the dense matrix would have " + decimal(m) + " x " + decimal(n) +
                        " elements; at most " + decimal(kMpsMaxDenseElements) + " are accepted",
                    MpsStatus::TooLarge);
    p_.A.assign(lda * n, 0.0);
    std::vector<bool> given(lda * n, false);
    for (const Entry& e : entries_) {
        const std::size_t k =
            static_cast<std::size_t>(e.row) + static_cast<std::size_t>(e.column) * lda;
        if (given[k]) {
            std::size_t first = 0;
            for (const Entry& f : entries_) {
                if (f.row == e.row && f.column == e.column) {
                    first = f.line;
                    break;
                }
            }
            line_ = e.line;
            return fail("COLUMNS: second entry for row " +
                        inQuotes(p_.rowNames[static_cast<std::size_t>(e.row)]) + " in column " +
                        inQuotes(p_.columnNames[static_cast<std::size_t>(e.column)]) +
                        " (first on line " + decimal(first) + ")");
        }
        given[k] = true;
        p_.A[k] = e.value;
    }
    entries_.clear();
    entries_.shrink_to_fit();

    rhs_.assign(m, 0.0);
    range_.assign(m, 0.0);
    rhsLine_.assign(m, 0);
    rangeLine_.assign(m, 0);
    lower_.assign(n, 0.0);
    upper_.assign(n, HUGE_VAL);
    lowerGiven_.assign(n, 0);
    return true;
}

void Reader::finish() {
    const std::size_t n = p_.columnNames.size();
    const std::size_t m = p_.rowNames.size();
    p_.N = static_cast<int>(n);
    p_.NCLIN = static_cast<int>(m);
    p_.LDA = std::max(1, p_.NCLIN);
    p_.BL.assign(n + m, 0.0);
    p_.BU.assign(n + m, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        p_.BL[j] = clampBound(lower_[j]);
        p_.BU[j] = clampBound(upper_[j]);
    }
    for (std::size_t i = 0; i < m; ++i) {
        // Clamped first, so that infinite values cannot meet as inf - inf.
        const double b = clampBound(rhs_[i]);
        const bool ranged = rangeLine_[i] != 0;
        const double r = clampBound(range_[i]);
        double lo = b, up = b;
        switch (p_.rowTypes[i]) {
        case 'L':
            lo = ranged ? b - std::fabs(r) : -kMpsInfinity;
            break;
        case 'G':
            up = ranged ? b + std::fabs(r) : kMpsInfinity;
            break;
        default: // 'E': the sign of the range says on which side of b the row may move
            if (ranged && r > 0.0) up = b + r;
            if (ranged && r < 0.0) lo = b + r;
            break;
        }
        p_.BL[n + i] = clampBound(lo);
        p_.BU[n + i] = clampBound(up);
    }
    p_.objConstant = objRhs_ == 0.0 ? 0.0 : -objRhs_;
    if (p_.maximize) {
        for (double& c : p_.COST) c = -c;
        p_.objConstant = -p_.objConstant;
    }
}

std::string describe(std::string_view source, const Failure& f) {
    std::string s(source);
    if (f.line != 0) s += ":" + decimal(f.line);
    return s + ": " + f.text;
}

} // namespace

MpsStatus parseMps(std::string_view text, std::string_view sourceName, MpsProblem& problem,
                   std::string& message, MpsFormat format) {
    problem = MpsProblem{};
    message.clear();
    auto attempt = [&](bool fixed, MpsProblem& p, Failure& f) {
        Reader reader(sourceName, fixed, p);
        if (reader.read(text)) {
            p.format = fixed ? MpsFormat::Fixed : MpsFormat::Free;
            return true;
        }
        f = reader.failure();
        p = MpsProblem{};
        return false;
    };

    Failure freeFailure;
    if (format != MpsFormat::Fixed) {
        if (attempt(false, problem, freeFailure)) return MpsStatus::Read;
        if (format == MpsFormat::Free || freeFailure.status != MpsStatus::Malformed) {
            message = describe(sourceName, freeFailure);
            return freeFailure.status;
        }
    }
    Failure fixedFailure;
    if (attempt(true, problem, fixedFailure)) {
        if (format == MpsFormat::Auto)
            problem.warnings.insert(problem.warnings.begin(),
                                    describe(sourceName, freeFailure) +
                                        " (as free MPS); read as fixed MPS");
        return MpsStatus::Read;
    }
    // Both layouts failed: the one that got further is the likelier reading of the file.
    const Failure& f = (format == MpsFormat::Fixed || fixedFailure.line > freeFailure.line)
                           ? fixedFailure
                           : freeFailure;
    message = describe(sourceName, f);
    return f.status;
}

MpsStatus readMps(const std::string& fileName, MpsProblem& problem, std::string& message,
                  MpsFormat format) {
    namespace fs = std::filesystem;
    problem = MpsProblem{};
    message.clear();
    std::error_code ec;
    const fs::file_status st = fs::status(fileName, ec);
    if (ec || !fs::exists(st)) {
        message = fileName + ": cannot be opened: no such file";
        return MpsStatus::NotReadable;
    }
    if (fs::is_directory(st)) {
        message = fileName + ": cannot be read: is a directory";
        return MpsStatus::NotReadable;
    }
    if (!fs::is_regular_file(st)) {
        message = fileName + ": cannot be read: not a regular file";
        return MpsStatus::NotReadable;
    }
    const std::uintmax_t size = fs::file_size(fileName, ec);
    if (ec) {
        message = fileName + ": cannot be read";
        return MpsStatus::NotReadable;
    }
    if (size > (std::uintmax_t{1} << 31)) {
        message = fileName + ": larger than 2 GiB";
        return MpsStatus::TooLarge;
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        message = fileName + ": cannot be opened";
        return MpsStatus::NotReadable;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        message = fileName + ": read error";
        return MpsStatus::NotReadable;
    }
    return parseMps(text, fileName, problem, message, format);
}

} // namespace lp
