#pragma once

#include <string>
#include <string_view>

namespace calc {

// Derives a file name of the run from the input name: quotation marks are removed and
// everything from the first "." of the last path component on (or, without a dot, from the
// end of the name) is replaced by "." and ext. Both "\" and "/" separate path components;
// trailing blanks of the fixed-length name are not part of it.
std::string MSFNME(std::string_view name, std::string_view ext);

} // namespace calc
