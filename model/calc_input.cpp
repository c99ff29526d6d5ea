#include "calc_input.h"

#include <cstring>
#include <fstream>

#include "format_real.h"

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

std::string writeCalcInput(Node& node) {
    Node* project = projectOf(&node);
    std::string out;
    if (project == nullptr) return out;
    std::int32_t counter = 1;
    auto put = [&](TNLMember& obj) {
        obj.IPar[9] = counter++;
        auto ip = obj.IPar;
        auto rp = obj.RPar;
        if (obj.kind() == ObjectKind::Project && obj.IPar[6] == 0) {
            // The advanced settings are off: the module gets the standard values, not the
            // zeros the project file keeps (0 trials would switch the search off).
            ip[4] = kDefaultSamples;
            ip[5] = kDefaultSteps;
            rp[1] = kDefaultStepWidth;
        }
        writeRecord(out, ip, rp);
        obj.Modified = false;
        if (auto* r = dynamic_cast<TRestr*>(&obj)) r->GlobalPar = r->RPar;
    };
    put(project->obj());
    for (auto& child : project->children) {
        if (child->kind() == ObjectKind::AbsSpec)
            put(child->obj());
        else if (child->kind() != ObjectKind::RelSpec)
            continue;
        for (auto& rc : child->children)
            if (rc->kind() == ObjectKind::Restriction) put(rc->obj());
    }
    return out;
}

std::optional<Message> writeCalcInputFile(Node& node, const std::string& path) {
    const std::string text = writeCalcInput(node);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (f) f.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (f) f.close();
    if (!f) return errorMessage("Die Datei " + path + " konnte nicht erstellt werden.");
    return std::nullopt;
}

} // namespace model
