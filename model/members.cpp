#include "model/members.h"

#include <string>

#include "model/record_io.h"
#include "model/tree.h"

namespace model {

namespace {

// The file-name part of a path, with either separator.
std::string fileNamePart(const std::string& path) {
    const std::size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

void cut255(std::string& s) {
    if (s.size() > 255) s.resize(255);
}

} // namespace

PaintStyle& diagramDefaults() {
    static PaintStyle defaults;
    return defaults;
}

// ---- TNLMember ----

void TNLMember::CopyBaseTo(TNLMember& dest) const {
    for (int i = 1; i <= 8; ++i)
        dest.IPar[static_cast<std::size_t>(i)] = IPar[static_cast<std::size_t>(i)];
    dest.RPar = RPar;
    dest.Caption = Caption;
    dest.SortKey = SortKey;
}

std::optional<Message> TNLMember::CopyTo(TNLMember& dest) const {
    CopyBaseTo(dest);
    return std::nullopt;
}

void TNLMember::writeBlock(RecordWriter& w, const std::array<std::int32_t, 10>& ip,
                           const std::array<double, 13>& rp) {
    for (int i = 1; i <= 9; ++i) w.intField(ip[static_cast<std::size_t>(i)], 4);
    w.endLine();
    for (int i = 1; i <= 12; ++i) w.blanksReal23(rp[static_cast<std::size_t>(i)]);
    w.endLine();
}

void TNLMember::WriteRecord(RecordWriter& w) const {
    writeBlock(w, IPar, RPar);
}

bool TNLMember::ReadRecord(RecordReader& r) {
    for (int i = 1; i <= 9; ++i)
        if (!r.readInt(IPar[static_cast<std::size_t>(i)])) return false;
    r.skipLine();
    for (int i = 1; i <= 12; ++i)
        if (!r.readReal(RPar[static_cast<std::size_t>(i)])) return false;
    r.skipLine();
    Modified = false;
    return true;
}

// ---- TProject ----

void TProject::UpdateCaption() {
    Caption = FileName.empty() ? "neues Projekt" : fileNamePart(FileName);
    cut255(Caption);
    SortKey = 0;
}

std::optional<Message> TProject::CopyTo(TNLMember& dest) const {
    auto* d = dynamic_cast<TProject*>(&dest);
    if (d == nullptr) return errorMessage("Fehler");
    d->FileName.clear();
    d->ResultsStored = ResultsStored;
    d->AllCurrent = AllCurrent;
    CopyBaseTo(dest);
    return std::nullopt;
}

void TProject::WriteRecord(RecordWriter& w) const {
    auto ip = IPar;
    auto rp = RPar;
    ip[7] = AllCurrent ? 1 : 0;
    ip[9] = ResultsStored ? 1 : 0;
    if (ip[6] == 0) {
        ip[4] = 0;
        ip[5] = 0;
        rp[1] = 0.0;
    }
    writeBlock(w, ip, rp);
    w.textLine(Description);
}

bool TProject::ReadRecord(RecordReader& r) {
    if (!TNLMember::ReadRecord(r)) return false;
    ResultsStored = IPar[9] == 1;
    AllCurrent = IPar[7] == 1;
    if (!r.readTextLine(Description)) return false;
    Changed = false;
    return true;
}

// ---- THSHeader, TRelHeader ----

void THSHeader::UpdateCaption() {
    Caption = "Bewegungsvorgabe (abs) " + std::to_string(IPar[2]);
    SortKey = IPar[2];
}

bool THSHeader::CheckValid() {
    return Valid = !(IPar[4] != 0 && RPar[2] > RPar[1]);
}

void THSHeader::Duplicate(THSHeader& dest) const {
    dest.ShortName = ShortName + " (Kopie)";
    cut255(dest.ShortName);
    (void)CopyTo(dest);
}

void TRelHeader::UpdateCaption() {
    const std::int64_t a = IPar[1] < 0 ? -static_cast<std::int64_t>(IPar[1]) : IPar[1];
    Caption = "Bewegungsvorgabe (rel) " + std::to_string(a) + "-" + std::to_string(IPar[2]);
    SortKey = a * 100 + IPar[2];
}

// ---- groups ----

void TGroupHeader::UpdateCaption() {
    Caption = "Optimierungsobjekt " + std::to_string(IPar[1]);
    SortKey = static_cast<std::int64_t>(IPar[1]) + 1000;
}

std::optional<Message> TGroupHeader::CopyTo(TNLMember&) const {
    return errorMessage(kCopyGroupRefused);
}

TRestr* TGroupMember::restriction() const {
    return RefTNR != nullptr ? RefTNR->as<TRestr>() : nullptr;
}

bool TGroupMember::CheckValid() {
    TRestr* r = restriction();
    return Valid = r != nullptr && r->CheckValid();
}

void TGroupMember::UpdateCaption() {
    TRestr* r = restriction();
    if (r == nullptr) {
        Caption = "Fehler";
        return;
    }
    const bool valid = CheckValid();
    const std::int32_t n = r->IPar[1];
    Caption = r->Caption;
    if (r->code() < 20) {
        const std::size_t pos = (n >= 0 && valid) ? 4 : 5; // characters 5 resp. 6 (1-based)
        Caption.insert(std::min(pos, Caption.size()), "(" + std::to_string(n) + ")");
        cut255(Caption);
    }
    SortKey = 10000000 + static_cast<std::int64_t>(n) * 1000000 + r->SortKey -
              (r->code() < 20 ? r->IPar[2] : 0);
}

std::optional<Message> TGroupMember::CopyTo(TNLMember&) const {
    return errorMessage(kCopyMemberRefused);
}

} // namespace model
