#include "model/calc_input.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

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

void forEachInputRecord(const Node& project, const std::function<void(const Node&)>& f) {
    f(project);
    for (const auto& child : project.children) {
        if (child->kind() == ObjectKind::AbsSpec)
            f(*child);
        else if (child->kind() != ObjectKind::RelSpec)
            continue;
        for (const auto& rc : child->children)
            if (rc->kind() == ObjectKind::Restriction) f(*rc);
    }
}

namespace {

// The records of the input; for the fingerprint also without the slots that only the project
// file uses (the module ignores them, and they change when results come or go).
CalcInput writeRecords(const Node& node, bool fingerprint) {
    const Node* project = projectOf(&node);
    CalcInput in;
    if (project == nullptr) return in;
    forEachInputRecord(*project, [&](const Node& n) {
        in.objects.push_back(&n);
        const TNLMember& obj = n.obj();
        auto ip = obj.IPar;
        auto rp = obj.RPar;
        ip[9] = static_cast<std::int32_t>(in.objects.size());
        if (obj.kind() == ObjectKind::Project) {
            if (obj.IPar[6] == 0) {
                // The advanced settings are off: the module gets the standard values, not the
                // zeros the project file keeps (0 trials would switch the search off).
                ip[4] = kDefaultSamples;
                ip[5] = kDefaultSteps;
                rp[1] = kDefaultStepWidth;
            }
            // The reached beta and the result code are results, not input.
            rp[11] = rp[12] = 0.0;
            if (fingerprint) ip[7] = 0;
        } else if (obj.kind() == ObjectKind::AbsSpec && fingerprint) {
            ip[7] = ip[8] = 0;
        }
        writeRecord(in.text, ip, rp);
    });
    return in;
}

} // namespace

double wholeCycleTolerance(const TProject& project) {
    const double t = project.RPar[3];
    return std::isfinite(t) && t > 0.0 ? t : 0.0;
}

CalcInput writeCalcInput(const Node& node) {
    return writeRecords(node, false);
}

std::string inputFingerprint(const Node& project) {
    return writeRecords(project, true).text;
}

std::optional<Message> writeCalcInputFile(const CalcInput& input, const std::string& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (f) f.write(input.text.data(), static_cast<std::streamsize>(input.text.size()));
    if (f) f.close();
    if (!f) return errorMessage("Die Datei " + path + " konnte nicht erstellt werden.");
    return std::nullopt;
}

} // namespace model
