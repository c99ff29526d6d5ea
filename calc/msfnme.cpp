#include "calc/msfnme.h"

namespace calc {

std::string MSFNME(std::string_view name, std::string_view ext) {
    std::string n;
    n.reserve(name.size() + ext.size() + 1);
    for (char c : name)
        if (c != '"') n.push_back(c);
    // The name is a blank-padded fixed-length text: trailing blanks end it.
    const auto last = n.find_last_not_of(' ');
    n.resize(last == std::string::npos ? 0 : last + 1);

    const auto sep = n.find_last_of("\\/");
    const std::size_t from = sep == std::string::npos ? 0 : sep + 1;
    auto dot = n.find('.', from);
    if (dot == std::string::npos) dot = n.size();
    n.resize(dot);
    n.push_back('.');
    n.append(ext);
    return n;
}

} // namespace calc
