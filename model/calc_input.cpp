#include "model/calc_input.h"

#include <cstring>
#include <fstream>

#include "model/format_real.h"

namespace model {

namespace {

void writeRecord(std::string& out, const std::array<std::int32_t, 10>& ip,
                 const std::array<double, 13>& rp) {
    for (int i = 1; i <= 9; ++i) out += formatIntField(ip[static_cast<std::size_t>(i)], 4);
    out += "\r\n";
    for (int i = 1; i <= 12; ++i)
        out += padField(FormatReal(rp[static_cast<std::size_t>(i)], 10), 12);
    out += "\r\n";
}

} // namespace

CalcInput writeCalcInput(const Node& node) {
    const Node* project = projectOf(&node);
    CalcInput in;
    if (project == nullptr) return in;
    auto put = [&](const Node& n) {
        in.objects.push_back(&n);
        const TNLMember& obj = n.obj();
        auto ip = obj.IPar;
        auto rp = obj.RPar;
        ip[9] = static_cast<std::int32_t>(in.objects.size());
        if (obj.kind() == ObjectKind::Project && obj.IPar[6] == 0) {
            // The advanced settings are off: the module gets the standard values, not the
            // zeros the project file keeps (0 trials would switch the search off).
            ip[4] = kDefaultSamples;
            ip[5] = kDefaultSteps;
            rp[1] = kDefaultStepWidth;
        }
        writeRecord(in.text, ip, rp);
    };
    put(*project);
    for (const auto& child : project->children) {
        if (child->kind() == ObjectKind::AbsSpec)
            put(*child);
        else if (child->kind() != ObjectKind::RelSpec)
            continue;
        for (const auto& rc : child->children)
            if (rc->kind() == ObjectKind::Restriction) put(*rc);
    }
    return in;
}

std::optional<Message> writeCalcInputFile(const CalcInput& input, const std::string& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (f) f.write(input.text.data(), static_cast<std::streamsize>(input.text.size()));
    if (f) f.close();
    if (!f) return errorMessage("Die Datei " + path + " konnte nicht erstellt werden.");
    return std::nullopt;
}

} // namespace model
