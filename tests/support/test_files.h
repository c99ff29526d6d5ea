// Whole files in and out, for tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tervana::test {

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void writeFile(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

} // namespace tervana::test
