// Output text streams of a run: the listing (console or "lst" file), the "err" file, and the
// result files. Numbers reach them only as text made by the formatter, never through a locale.
#pragma once

#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace calc {

class OutputStream {
public:
    OutputStream() = default; // writes nowhere until attached or created
    explicit OutputStream(std::ostream& console) : os_(&console) {}

    void attach(std::ostream& console);
    // Creates or replaces the file and writes to it from now on. When it cannot be created, a
    // line naming it goes to diag and the stream keeps its previous target.
    bool create(const std::string& fileName, std::ostream& diag);
    bool isFile() const { return file_.is_open(); }

    void line(std::string_view text = {});
    void lines(const std::vector<std::string>& records);
    void close();

private:
    void write(std::string_view text);

    std::ofstream file_;
    std::ostream* os_ = nullptr;
};

// The line written to standard error when an output file cannot be created.
std::string cannotCreateMessage(const std::string& fileName);

} // namespace calc
