#include "calcctl/result_files.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "model/project_file.h"

namespace calcctl {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Whitespace-separated tokens, also across lines.
class Tokens {
public:
    explicit Tokens(std::string_view text) : t_(text) {}

    // The next token, or an empty view at the end of the text.
    std::string_view next() {
        while (pos_ < t_.size() && isBlank(t_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < t_.size() && !isBlank(t_[pos_])) ++pos_;
        return t_.substr(start, pos_ - start);
    }
    // Peeks at the next token without taking it.
    std::string_view peek() {
        const std::size_t keep = pos_;
        std::string_view tok = next();
        pos_ = keep;
        return tok;
    }
    // Moves past the end of the line the next token is on.
    void skipLineOfNext() {
        while (pos_ < t_.size() && isBlank(t_[pos_])) ++pos_;
        while (pos_ < t_.size() && t_[pos_] != '\n') ++pos_;
    }

private:
    std::string_view t_;
    std::size_t pos_ = 0;
};

bool toInt(std::string_view tok, std::int32_t& v) {
    if (!tok.empty() && tok.front() == '+') tok.remove_prefix(1);
    const auto r = std::from_chars(tok.data(), tok.data() + tok.size(), v);
    return !tok.empty() && r.ec == std::errc() && r.ptr == tok.data() + tok.size();
}

// A finite real in any decimal form, also with the exponent letter D of Fortran output.
bool toReal(std::string_view tok, double& v) {
    if (tok.empty() || tok.size() > 64) return false;
    std::array<char, 65> buf{};
    std::size_t n = 0;
    for (char c : tok) buf[n++] = (c == 'D' || c == 'd') ? 'E' : c;
    const char* b = buf.data();
    if (*b == '+') ++b;
    const auto r = std::from_chars(b, buf.data() + n, v);
    return r.ec == std::errc() && r.ptr == buf.data() + n && std::isfinite(v);
}

bool readFile(const std::string& path, std::string& bytes) {
    return model::readWholeFile(path, bytes);
}

} // namespace

double toReal48(double v) {
    if (v == 0.0 || !std::isfinite(v)) return v;
    int e = 0;
    const double m = std::frexp(v, &e); // 0.5 <= |m| < 1
    return std::ldexp(std::round(std::ldexp(m, 40)), e - 40);
}

std::optional<int> parseStatus(std::string_view text) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    std::int32_t v = 0;
    if (!toInt(line, v)) return std::nullopt;
    return v;
}

std::optional<int> readStatusFile(const std::string& path) {
    std::string bytes;
    if (!readFile(path, bytes)) return std::nullopt;
    return parseStatus(bytes);
}

bool parseCoefficients(std::string_view text, std::int32_t K, model::TVector& s,
                       std::optional<double>* beta) {
    if (K < 0 || K > 100000) return false;
    Tokens tokens(text);
    std::vector<double> v(static_cast<std::size_t>(2 * K + 2));
    for (std::int32_t i = 0; i <= K; ++i) {
        double first = 0.0, second = 0.0;
        if (!toReal(tokens.next(), first) || !toReal(tokens.next(), second)) return false;
        v[static_cast<std::size_t>(2 * i + 1)] = first;
        v[static_cast<std::size_t>(2 * i)] = second;
    }
    model::TVector out(2 * K + 2);
    if (out.Count() != 2 * K + 2) return false;
    for (std::int32_t i = 0; i < 2 * K + 2; ++i) out.set(i, v[static_cast<std::size_t>(i)]);
    s = std::move(out);
    if (beta != nullptr) {
        // "a(0)-s, a(0)-ss", "theta, eta min", then "beta, t".
        std::array<double, 6> tail{};
        bool all = true;
        for (double& x : tail) all = all && toReal(tokens.next(), x);
        *beta = all ? std::optional<double>(tail[4]) : std::nullopt;
    }
    return true;
}

bool readCoefficientFile(const std::string& path, std::int32_t K, model::TVector& s,
                         std::optional<double>* beta) {
    std::string bytes;
    return readFile(path, bytes) && parseCoefficients(bytes, K, s, beta);
}

std::optional<model::VariedParameters>
parseVariedRecords(std::string_view text, const std::vector<const model::Node*>& objects) {
    model::VariedParameters found;
    Tokens tokens(text);
    for (;;) {
        const std::string_view first = tokens.peek();
        if (first.empty()) break;
        std::array<std::int32_t, 10> ip{};
        if (!toInt(first, ip[1])) {
            tokens.skipLineOfNext();
            continue;
        }
        tokens.next();
        for (int i = 2; i <= 9; ++i)
            if (!toInt(tokens.next(), ip[static_cast<std::size_t>(i)])) return std::nullopt;
        std::array<double, 13> rp{};
        for (int i = 1; i <= 12; ++i) {
            double v = 0.0;
            if (!toReal(tokens.next(), v)) return std::nullopt;
            rp[static_cast<std::size_t>(i)] = toReal48(v);
        }
        if (ip[1] < 1 || ip[8] < 1 || ip[9] < 1 || static_cast<std::size_t>(ip[9]) > objects.size())
            continue;
        // Only restrictions carry varied parameters.
        const model::Node* object = objects[static_cast<std::size_t>(ip[9]) - 1];
        if (object != nullptr && object->kind() == model::ObjectKind::Restriction)
            found.emplace_back(object, rp);
    }
    return found;
}

std::optional<model::VariedParameters>
readVariedRecords(const std::string& path, const std::vector<const model::Node*>& objects) {
    std::string bytes;
    if (!readFile(path, bytes)) return std::nullopt;
    return parseVariedRecords(bytes, objects);
}

} // namespace calcctl
