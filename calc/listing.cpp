#include "calc/listing.h"

namespace calc {

void OutputStream::attach(std::ostream& console) {
    close();
    os_ = &console;
}

std::string cannotCreateMessage(const std::string& fileName) {
    return "kq4calc: Datei kann nicht angelegt werden: " + fileName;
}

bool OutputStream::create(const std::string& fileName, std::ostream& diag) {
    std::ofstream f(fileName, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!f) {
        diag << cannotCreateMessage(fileName) << '\n';
        diag.flush();
        return false;
    }
    close();
    file_ = std::move(f);
    os_ = &file_;
    return true;
}

void OutputStream::write(std::string_view text) {
    os_->write(text.data(), static_cast<std::streamsize>(text.size()));
    os_->put('\n');
}

void OutputStream::line(std::string_view text) {
    if (os_ == nullptr) return;
    write(text);
    os_->flush(); // an interrupted run leaves everything written so far
}

void OutputStream::lines(const std::vector<std::string>& records) {
    if (os_ == nullptr) return;
    for (const auto& r : records) write(r);
    os_->flush();
}

void OutputStream::close() {
    if (file_.is_open()) file_.close();
    os_ = nullptr;
}

} // namespace calc
