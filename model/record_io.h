// Line-oriented reading and writing of the project file's records: numbers as whitespace-
// separated tokens, free-text lines, CR LF line ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace model {

class RecordWriter {
public:
    void intField(std::int64_t v, int width);
    void real23(double v);                // the 23-character real alone
    void blanksReal23(double v);          // two blanks and the 23-character real
    void textLine(std::string_view utf8); // a free-text line, converted to Windows-1252
    void endLine() { out_ += "\r\n"; }
    const std::string& bytes() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

class RecordReader {
public:
    explicit RecordReader(std::string_view bytes) : in_(bytes) {}

    // Each skips blanks, tabs and line ends, then takes one token. A token that is not a
    // number, or the end of the input, makes the reader fail (and every later read too).
    bool readInt(std::int32_t& v);
    bool readReal(double& v);
    // Discards the rest of the current line.
    void skipLine();
    // Reads the rest of the current line as text (at most 255 characters kept), converted to
    // UTF-8.
    bool readTextLine(std::string& utf8);

    bool failed() const { return failed_; }
    // Line of the failure (1-based), or of the current position.
    std::size_t line() const { return failed_ ? failLine_ : line_; }
    // Whether only blanks and line ends remain.
    bool atEnd();
    std::size_t remaining() const { return in_.size() - pos_; }
    // Marks a failure at the current line (a count that the rest of the file cannot hold).
    bool fail();

private:
    bool token(std::string_view& t);

    std::string_view in_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    bool failed_ = false;
    std::size_t failLine_ = 0;
};

} // namespace model
