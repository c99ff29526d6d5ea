#include "model/check.h"

#include "model/format_real.h"

namespace model {

namespace {

std::string R(const TNLMember& o, int i) {
    return "RPar[" + std::to_string(i) +
           "] =" + FormatReal(o.RPar[static_cast<std::size_t>(i)], 10);
}

std::string rule(const TNLMember& o, int a, const char* rel, int b) {
    return R(o, a) + " muss " + rel + " " + R(o, b) + " sein";
}

std::optional<std::string> restrReason(const TRestr& r) {
    const auto& I = r.IPar;
    const auto& P = r.RPar;
    const int k = r.code();
    if (isSpectrumKind(k)) {
        if (I[6] == 0 || P[6] > P[5]) return std::nullopt;
        return rule(r, 6, "größer als", 5) + " (variable Schranke)";
    }
    const bool interval = isIntervalKind(k);
    if (interval) {
        if (I[4] != 0 && !(P[2] > P[1]))
            return rule(r, 2, "größer als", 1) + " (untere Winkelgrenze variabel)";
        if (I[5] != 0 && !(P[3] > P[4]))
            return rule(r, 3, "größer als", 4) + " (obere Winkelgrenze variabel)";
        if (I[4] == 1 && !(P[1] <= P[4])) return rule(r, 1, "kleiner oder gleich", 4);
        if (I[5] == 1 && !(P[3] >= P[2])) return rule(r, 3, "größer oder gleich", 2);
        if (!(P[4] > P[2])) return rule(r, 4, "größer als", 2) + " (Bereich)";
    }
    if (!(I[6] == -1 || I[6] == 0 || P[5] > P[6]))
        return rule(r, 5, "größer als", 6) + " (untere Schranke variabel)";
    if (!(I[7] == -1 || I[7] == 0 || P[8] > P[7]))
        return rule(r, 8, "größer als", 7) + " (obere Schranke variabel)";
    if (I[6] >= 0 && I[7] >= 0) {
        if (I[6] == 1 && !(P[5] <= P[8])) return rule(r, 5, "kleiner oder gleich", 8);
        if (I[7] == 1 && !(P[7] >= P[6])) return rule(r, 7, "größer oder gleich", 6);
        if (interval && !(P[8] > P[6])) return rule(r, 8, "größer als", 6) + " (Schranken)";
        if (!interval && !(P[8] >= P[6]))
            return rule(r, 8, "größer oder gleich", 6) + " (Schranken)";
    }
    if (r.Global) {
        if (!(P[9] <= P[2])) return rule(r, 9, "kleiner oder gleich", 2) + " (Verschiebung)";
        if (!(P[2] <= P[10])) return rule(r, 2, "kleiner oder gleich", 10) + " (Verschiebung)";
        if (interval) {
            if (!(P[11] <= P[4])) return rule(r, 11, "kleiner oder gleich", 4) + " (Verschiebung)";
            if (!(P[4] <= P[12])) return rule(r, 4, "kleiner oder gleich", 12) + " (Verschiebung)";
            if (!(P[10] <= P[11]))
                return rule(r, 10, "kleiner oder gleich", 11) + " (Verschiebung)";
        }
    }
    if (isRelativeKind(k) && I[1] == I[2])
        return "IPar[1] und IPar[2] müssen verschiedene Bewegungsvorgaben nennen (" +
               std::to_string(I[1]) + ")";
    return std::nullopt;
}

} // namespace

std::optional<std::string> inconsistencyReason(TNLMember& obj) {
    if (auto* r = dynamic_cast<TRestr*>(&obj)) return restrReason(*r);
    if (auto* h = dynamic_cast<THSHeader*>(&obj)) {
        if (h->IPar[4] != 0 && h->RPar[2] > h->RPar[1])
            return rule(*h, 2, "kleiner oder gleich", 1) + " (variables Frequenzverhältnis)";
        return std::nullopt;
    }
    if (auto* m = dynamic_cast<TGroupMember*>(&obj)) {
        TRestr* r = m->restriction();
        if (r == nullptr) return "verweist auf keine Restriktion";
        if (auto reason = restrReason(*r)) return "Restriktion " + r->Caption + ": " + *reason;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace model
