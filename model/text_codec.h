// Free text in files is Windows-1252; in memory it is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace model {

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control characters U+0081 ... U+009D, as on Windows, so that
// every byte string survives the way there and back.
std::string cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252. A character the code page cannot hold, and a byte that is not valid
// UTF-8, is written as "?".
std::string utf8ToCp1252(std::string_view text);

} // namespace model
