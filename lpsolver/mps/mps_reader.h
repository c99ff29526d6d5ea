// Reading linear programs from MPS files (fixed and free format) into the dense form LPSOLV
// takes: N variables, NCLIN general rows, A column-major with LDA = max(1, NCLIN), the bounds
// of all N + NCLIN constraints (variables first) and the cost vector.
//
// What is read:
//   NAME      the first word after NAME is the problem name; the rest of the line is ignored.
//   OBJSENSE  MIN or MAX (MINIMIZE, MAXIMIZE), on the header line or on the next line.
//   ROWS      N, L, G and E rows. The first N row is the objective, further N rows are ignored
//             with everything given for them. Rows keep their order; a row without entries is
//             a zero row of A.
//   COLUMNS   entries (column, row, value), one or two per line. Integer MARKER lines are
//             skipped: the columns between them are read as ordinary columns. A column may
//             reappear after others; a second entry for the same row and column is an error.
//   RHS       right-hand sides (0 where none is given). An RHS on the objective row gives the
//             objective constant -rhs.
//   RANGES    with R the range and b the rhs of a row: L row [b - |R|, b], G row [b, b + |R|],
//             E row [b, b + R] for R >= 0 and [b + R, b] for R < 0. Ranges on N rows are ignored.
//   BOUNDS    UP, LO, FX, FR, MI (lower bound minus infinity, upper kept), PL (upper bound plus
//             infinity, lower kept), BV ([0, 1]). Lines take effect in order, each setting only
//             what it names. Default bounds are [0, +infinity). UP with a negative value on a
//             column whose lower bound is still the default 0 also sets the lower bound to minus
//             infinity (the customary reading, with a warning); after an explicit LO 0, FX or BV
//             the lower bound stays.
//   ENDATA    required; anything after it is ignored.
// Lines starting with '*' are comments; blank lines are skipped. Of several RHS, RANGES or
// BOUNDS sets only the first one met is used (a line without a set name belongs to it).
// Duplicate RHS or RANGES entries for one row are errors.
//
// Numbers are read with std::from_chars (never through the locale): an optional sign, digits
// with an optional point, an optional exponent with E or D ("1.", ".301", "-1.5D+03"). "Inf"
// and "Infinity" are accepted as values of bounds, right-hand sides and ranges. Any bound
// beyond +-1.0E+20 is stored as +-1.0E+20, which the solver takes as absent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lp {

// Absent bounds are written as -kMpsInfinity / +kMpsInfinity.
inline constexpr double kMpsInfinity = 1.0e20;

// Longest line accepted (line end excluded).
inline constexpr std::size_t kMpsMaxLineLength = 4096;

// Largest dense A accepted, in elements (LDA x N); larger problems give MpsStatus::TooLarge.
inline constexpr std::size_t kMpsMaxDenseElements = std::size_t{1} << 26;

enum class MpsFormat {
    Auto,  // free format; when that fails, fixed format (for names with blanks, empty fields)
    Fixed, // fields in columns 2-3, 5-12, 15-22, 25-36, 40-47, 50-61
    Free,  // fields separated by blanks or tabs; names without blanks
};

enum class [[nodiscard]] MpsStatus{
    Read,        // the problem was read
    NotReadable, // the file cannot be opened, or is not a regular file
    Malformed,   // a line breaks the format (the message names the file and line)
    TooLarge,    // the dense form would exceed kMpsMaxDenseElements, or the file 2 GiB
};

struct MpsProblem {
    std::string name;                   // first word after NAME (empty without a NAME line)
    std::string objectiveName;          // the objective row (empty when the file has no N row)
    MpsFormat format = MpsFormat::Free; // the layout the file was read in: Fixed or Free
    bool maximize = false; // OBJSENSE MAX: COST and objConstant are negated, so that the
                           // problem below is always a minimisation

    int N = 0;                // variables (columns)
    int NCLIN = 0;            // general rows (the L, G and E rows)
    int LDA = 1;              // max(1, NCLIN)
    std::vector<double> A;    // LDA x N, column-major: element (i, j) at A[i + j*LDA], 0-based
    std::vector<double> BL;   // N + NCLIN lower bounds, variables first
    std::vector<double> BU;   // N + NCLIN upper bounds
    std::vector<double> COST; // N
    double objConstant = 0.0; // the minimised objective is COST'x + objConstant

    std::vector<std::string> columnNames; // N, in the order of first appearance in COLUMNS
    std::vector<std::string> rowNames;    // NCLIN, in the order of ROWS
    std::vector<char> rowTypes;           // NCLIN: 'L', 'G' or 'E'
    std::size_t entries = 0; // COLUMNS entries read, the objective and ignored N rows included
    std::vector<std::string> warnings; // "file:line: text", for data read in a customary way
};

// Reads the MPS file fileName. On anything but MpsStatus::Read, message holds
// "file:line: text" (or "file: text" when no line is at fault) and problem is left empty.
MpsStatus readMps(const std::string& fileName, MpsProblem& problem, std::string& message,
                  MpsFormat format = MpsFormat::Auto);

// The same for MPS text in memory; sourceName stands for the file name in messages.
MpsStatus parseMps(std::string_view text, std::string_view sourceName, MpsProblem& problem,
                   std::string& message, MpsFormat format = MpsFormat::Auto);

} // namespace lp
