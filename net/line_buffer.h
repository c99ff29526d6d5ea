// Text that arrives in pieces (server replies, command output), passed on line by line: each
// complete line without its line end ("\n", "\r\n"); the rest waits for more. A line longer
// than kMaxLine is handed on in pieces of that length, so that text without line ends cannot
// grow the buffer without bound. No Qt.
#pragma once

#include <cstddef>
#include <string>

namespace net {

class LineBuffer {
public:
    static constexpr std::size_t kMaxLine = 4096;

    // Appends data and hands every line it completes to emit(std::string).
    template <class Emit> void add(const char* data, std::size_t size, Emit&& emit) {
        pending_.append(data, size);
        std::size_t start = 0;
        for (std::size_t nl; (nl = pending_.find('\n', start)) != std::string::npos; start = nl + 1)
            emit(withoutCr(pending_.substr(start, nl - start)));
        pending_.erase(0, start);
        while (pending_.size() > kMaxLine) {
            emit(pending_.substr(0, kMaxLine));
            pending_.erase(0, kMaxLine);
        }
    }

    // Hands on the text after the last line end, if there is any (the output has ended).
    template <class Emit> void flush(Emit&& emit) {
        if (!pending_.empty()) emit(withoutCr(std::move(pending_)));
        pending_.clear();
    }

    void clear() { pending_.clear(); }

private:
    static std::string withoutCr(std::string line) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

    std::string pending_;
};

} // namespace net
