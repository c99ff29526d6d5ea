#include "model/check.h"

#include "model/format_real.h"

namespace model {

namespace {

// The words of the editor: the angles of an interval are its start φu and its end φo, a
// variable quantity has its minimum requirement (at beta 0, the field itself) and its maximum
// requirement (at beta 1, the field beside "variabel").
class Reasons {
public:
    explicit Reasons(char decimalPoint) : point_(decimalPoint) {}

    // A number as the field shows it: ten significant digits, the user's decimal separator.
    std::string n(double v) const { return displayReal(v, 10, point_); }
    std::string range(double lo, double hi) const { return n(lo) + " … " + n(hi); }

private:
    char point_;
};

std::optional<std::string> restrReason(const TRestr& r, const Reasons& x) {
    const auto& I = r.IPar;
    const auto& P = r.RPar;
    const int k = r.code();
    if (isSpectrumKind(k)) {
        if (I[6] == 0 || P[6] > P[5]) return std::nullopt;
        return "c variabel: die Maximalforderung (" + x.n(P[5]) +
               ") muss kleiner als die Mindestforderung c (" + x.n(P[6]) + ") sein";
    }
    const bool interval = isIntervalKind(k);
    if (interval) {
        if (I[4] != 0 && !(P[2] > P[1]))
            return "Anfang variabel: die Maximalforderung (" + x.n(P[1]) +
                   ") muss vor dem Anfang φu (" + x.n(P[2]) + ") liegen";
        if (I[5] != 0 && !(P[3] > P[4]))
            return "Ende variabel: die Maximalforderung (" + x.n(P[3]) +
                   ") muss hinter dem Ende φo (" + x.n(P[4]) + ") liegen";
        if (I[4] == 1 && !(P[1] <= P[4]))
            return "Anfang variabel: die Maximalforderung (" + x.n(P[1]) +
                   ") darf nicht hinter dem Ende φo (" + x.n(P[4]) + ") liegen";
        if (I[5] == 1 && !(P[3] >= P[2]))
            return "Ende variabel: die Maximalforderung (" + x.n(P[3]) +
                   ") darf nicht vor dem Anfang φu (" + x.n(P[2]) + ") liegen";
        if (!(P[4] > P[2]))
            return "Das Ende φo (" + x.n(P[4]) + ") muss hinter dem Anfang φu (" + x.n(P[2]) +
                   ") liegen";
    }
    if (!(I[6] == -1 || I[6] == 0 || P[5] > P[6]))
        return "untere Schranke variabel: die Maximalforderung (" + x.n(P[5]) +
               ") muss größer als die Mindestforderung (" + x.n(P[6]) + ") sein";
    if (!(I[7] == -1 || I[7] == 0 || P[8] > P[7]))
        return "obere Schranke variabel: die Maximalforderung (" + x.n(P[7]) +
               ") muss kleiner als die Mindestforderung (" + x.n(P[8]) + ") sein";
    if (I[6] >= 0 && I[7] >= 0) {
        if (I[6] == 1 && !(P[5] <= P[8]))
            return "Die Maximalforderung der unteren Schranke (" + x.n(P[5]) +
                   ") darf nicht über der oberen Schranke (" + x.n(P[8]) + ") liegen";
        if (I[7] == 1 && !(P[7] >= P[6]))
            return "Die Maximalforderung der oberen Schranke (" + x.n(P[7]) +
                   ") darf nicht unter der unteren Schranke (" + x.n(P[6]) + ") liegen";
        if (interval && !(P[8] > P[6]))
            return "Die obere Schranke (" + x.n(P[8]) + ") muss über der unteren (" + x.n(P[6]) +
                   ") liegen";
        if (!interval && !(P[8] >= P[6]))
            return "Die obere Schranke (" + x.n(P[8]) + ") darf nicht unter der unteren (" +
                   x.n(P[6]) + ") liegen";
    }
    if (r.Global) {
        const std::string phi = interval ? "φu" : "φ";
        if (!(P[9] <= P[2] && P[2] <= P[10]))
            return "Verschiebung: " + phi + " (" + x.n(P[2]) + ") muss im Bereich " +
                   x.range(P[9], P[10]) + " liegen";
        if (interval) {
            if (!(P[11] <= P[4] && P[4] <= P[12]))
                return "Verschiebung: φo (" + x.n(P[4]) + ") muss im Bereich " +
                       x.range(P[11], P[12]) + " liegen";
            if (!(P[10] <= P[11]))
                return "Verschiebung: der Bereich von φu (bis " + x.n(P[10]) +
                       ") muss vor dem von φo (ab " + x.n(P[11]) + ") liegen";
        }
    }
    if (isRelativeKind(k) && I[1] == I[2])
        return "Die Restriktion muss zwei verschiedene Bewegungsvorgaben verbinden (beide " +
               std::to_string(I[1]) + ")";
    return std::nullopt;
}

} // namespace

std::optional<std::string> inconsistencyReason(TNLMember& obj, char decimalPoint) {
    const Reasons x(decimalPoint);
    if (auto* r = dynamic_cast<TRestr*>(&obj)) return restrReason(*r, x);
    if (auto* h = dynamic_cast<THSHeader*>(&obj)) {
        if (h->IPar[4] != 0 && h->RPar[2] > h->RPar[1])
            return "η variabel: der Wert bei β = 1 (" + x.n(h->RPar[1]) + ") darf nicht unter η (" +
                   x.n(h->RPar[2]) + ") liegen";
        return std::nullopt;
    }
    if (auto* m = dynamic_cast<TGroupMember*>(&obj)) {
        TRestr* r = m->restriction();
        if (r == nullptr) return "verweist auf keine Restriktion";
        if (auto reason = restrReason(*r, x)) return "Restriktion " + r->Caption + ": " + *reason;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace model
