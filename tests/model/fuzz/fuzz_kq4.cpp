// Fuzz target: the kq4 reader must neither crash, hang nor ask for unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/import.h"
#include "model/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    model::Kq4Import r = model::importKq4(text, "fuzz.kq4");
    if ((r.code == 0) != (r.project != nullptr)) __builtin_trap();
    return 0;
}
