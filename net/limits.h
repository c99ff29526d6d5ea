// Bounds on what a calculation host may send back. No Qt.
#pragma once

#include <cstdint>

namespace net {

// The largest file a remote run fetches (status, listing, varied records, coefficients). The
// module's files are a few kilobytes; a file beyond this is not one of its results.
inline constexpr std::uint64_t kMaxFetchBytes = 16u * 1024u * 1024u;

} // namespace net
