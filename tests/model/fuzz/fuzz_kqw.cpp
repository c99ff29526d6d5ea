// Fuzz target: the kqw reader must neither crash, hang nor ask for unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/import.h"
#include "model/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    model::THSSet set;
    if (model::readKqw(text, set) == 0) {
        model::ProjectTree tree;
        (void)model::insertMotion(tree, set, nullptr, true);
    }
    return 0;
}
