// Fuzz target: the k4p reader must neither crash, hang nor ask for unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/import.h"
#include "model/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto r = model::readProject(text);
    if (auto* p = std::get_if<std::unique_ptr<model::Node>>(&r)) {
        // What was read writes and reads back to the same bytes.
        const std::string once = model::writeProject(**p);
        auto again = model::readProject(once);
        if (!std::holds_alternative<std::unique_ptr<model::Node>>(again)) __builtin_trap();
        if (model::writeProject(*std::get<std::unique_ptr<model::Node>>(again)) != once)
            __builtin_trap();
    }
    return 0;
}
