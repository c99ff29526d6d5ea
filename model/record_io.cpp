#include "model/record_io.h"

#include "model/format_real.h"
#include "model/text_codec.h"

namespace model {

void RecordWriter::intField(std::int64_t v, int width) {
    out_ += formatIntField(v, width);
}

void RecordWriter::real23(double v) {
    out_ += formatReal23(v);
}

void RecordWriter::blanksReal23(double v) {
    out_ += "  ";
    out_ += formatReal23(v);
}

void RecordWriter::textLine(std::string_view utf8) {
    std::string bytes = utf8ToCp1252(utf8);
    // A line break inside the text would split the record: it becomes a blank.
    for (char& c : bytes)
        if (c == '\r' || c == '\n') c = ' ';
    if (bytes.size() > 255) bytes.resize(255);
    out_ += bytes;
    out_ += "\r\n";
}

bool RecordReader::fail() {
    if (!failed_) {
        failed_ = true;
        failLine_ = line_;
    }
    return false;
}

bool RecordReader::token(std::string_view& t) {
    if (failed_) return false;
    while (pos_ < in_.size()) {
        const char c = in_[pos_];
        if (c == '\n') {
            ++line_;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            break;
        }
        ++pos_;
    }
    if (pos_ >= in_.size()) return fail();
    const std::size_t start = pos_;
    while (pos_ < in_.size()) {
        const char c = in_[pos_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') break;
        ++pos_;
    }
    t = in_.substr(start, pos_ - start);
    return true;
}

bool RecordReader::readInt(std::int32_t& v) {
    std::string_view t;
    if (!token(t)) return false;
    if (!parseInt32(t, v)) return fail();
    return true;
}

bool RecordReader::readReal(double& v) {
    std::string_view t;
    if (!token(t)) return false;
    if (!parseDouble(t, v)) return fail();
    return true;
}

void RecordReader::skipLine() {
    if (failed_) return;
    while (pos_ < in_.size() && in_[pos_] != '\n') ++pos_;
    if (pos_ < in_.size()) {
        ++pos_;
        ++line_;
    }
}

bool RecordReader::readTextLine(std::string& utf8) {
    if (failed_) return false;
    if (pos_ >= in_.size()) { // a last text line without a line end, or none: empty
        utf8.clear();
        return true;
    }
    const std::size_t start = pos_;
    while (pos_ < in_.size() && in_[pos_] != '\n') ++pos_;
    std::size_t end = pos_;
    if (end > start && in_[end - 1] == '\r') --end;
    if (pos_ < in_.size()) {
        ++pos_;
        ++line_;
    }
    std::string_view text = in_.substr(start, end - start);
    if (text.size() > 255) text = text.substr(0, 255);
    utf8 = cp1252ToUtf8(text);
    return true;
}

bool RecordReader::atEnd() {
    if (failed_) return true;
    for (std::size_t p = pos_; p < in_.size(); ++p) {
        const char c = in_[p];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

} // namespace model
