// Free-format (list-directed) reading of numbers from a text stream, one read at a time.
#pragma once

#include <cstddef>
#include <istream>
#include <span>
#include <string>
#include <string_view>

namespace fio {

enum class [[nodiscard]] ReadStatus{
    Ok,    // every value was read
    Error, // a value did not parse; the line holding it has been consumed
    End,   // the stream ended before every value was read
};

// Reads values separated by blanks, tabs, commas or line ends. Every read starts on a new
// line, continues over as many lines as it needs and discards the rest of its last line.
// CR LF and LF line ends read the same. Integers are an optional sign and digits within the
// 32-bit range; reals also take a point, an exponent with E, D or Q (or a bare sign,
// "1.5+3"), and the words NaN, Inf and Infinity. A real too large for a double is a read
// error; one too small reads as zero. Repeat counts ("3*0"), null values (",,") and a slash
// ending a read early are not accepted: such a token is a read error.
class FreeReader {
public:
    explicit FreeReader(std::istream& in) : in_(in) {}

    ReadStatus readIntegers(std::span<int> out);
    ReadStatus readReals(std::span<double> out);

    // Lines consumed so far (the line number of the last line read, counted from 1).
    std::size_t lineNumber() const { return lineNo_; }

private:
    template <class T, class Parse> ReadStatus read(std::span<T> out, Parse parse);
    bool nextLine();

    std::istream& in_;
    std::string line_;
    std::size_t lineNo_ = 0;
};

// Token parsers, also used on their own (command-line arguments).
bool parseInteger(std::string_view token, int& value);
bool parseReal(std::string_view token, double& value);

} // namespace fio
