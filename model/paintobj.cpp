#include <cmath>
#include <utility>

#include "model/members.h"
#include "model/record_io.h"

namespace model {

namespace {

// Degrees to radians as the diagrams always did it: pi and 1/180 in extended precision, the
// product rounded to double.
double radians(double phi) {
    constexpr long double kPi = 3.14159265358979323846264338327950288L;
    return static_cast<double>(static_cast<long double>(phi) * kPi * (1.0L / 180.0L));
}

std::uint8_t styleCode(std::int32_t v) {
    return (v >= 1 && v <= 4) ? static_cast<std::uint8_t>(v) : 0;
}

} // namespace

TPaintObj::TPaintObj() : PaintStyle(diagramDefaults()) {}

std::optional<Message> TPaintObj::CopyTo(TNLMember& dest) const {
    auto* d = dynamic_cast<TPaintObj*>(&dest);
    if (d == nullptr) return errorMessage("Fehler");
    CopyBaseTo(dest);
    d->sSC = sSC;
    d->qSC = qSC;
    d->mSC = mSC;
    return std::nullopt;
}

namespace {

// Sine and cosine coefficient of derivative n of harmonic k >= 1: k^n times the pair (s, c)
// turned by n quarter turns.
std::pair<double, double> derivedPair(const TVector& v, int n, int k) {
    double a = 1.0;
    for (int i = 0; i < n; ++i) a *= k;
    const double s = a * v.at(2 * static_cast<std::int64_t>(k));
    const double c = a * v.at(2 * static_cast<std::int64_t>(k) + 1);
    switch (n % 4) {
    case 0:
        return {s, c};
    case 1:
        return {-c, s};
    case 2:
        return {-s, -c};
    default:
        return {c, -s};
    }
}

} // namespace

double TPaintObj::effSin(const TVector& v, int n, int k) {
    return k == 0 ? v.at(0) : derivedPair(v, n, k).first;
}

double TPaintObj::effCos(const TVector& v, int n, int k) {
    if (k == 0) return n == 0 ? v.at(1) : 0.0;
    return derivedPair(v, n, k).second;
}

double TPaintObj::series(const TVector& v, int n, double phi) {
    const double x = radians(phi);
    const std::int32_t K = v.harmonics();
    double sum = effCos(v, n, 0);
    for (std::int32_t k = 1; k <= K; ++k)
        sum += std::sin(k * x) * effSin(v, n, k) + std::cos(k * x) * effCos(v, n, k);
    return sum;
}

double TPaintObj::Calc_M(double phi) const {
    const double x = radians(phi);
    const std::int32_t K = mSC.harmonics();
    double sum = 0.0;
    for (std::int32_t k = 1; k <= K; ++k)
        sum += std::sin(k * x) * mSC.at(2 * static_cast<std::int64_t>(k)) +
               std::cos(k * x) * mSC.at(2 * static_cast<std::int64_t>(k) + 1);
    return sum;
}

void TPaintObj::GetMinMax_s(int n, double& lo, double& hi) const {
    if (!HasResults) {
        lo = hi = 0.0;
        return;
    }
    sampleMinMax(lo, hi, sSC.Count(), [&](double x) { return Calc_s(n, x); });
}

void TPaintObj::GetMinMax_q(int n, double& lo, double& hi) const {
    if (!HasResults) {
        lo = hi = 0.0;
        return;
    }
    sampleMinMax(lo, hi, qSC.Count(), [&](double x) { return Calc_q(n, x); });
}

void TPaintObj::GetMinMax_M(double& lo, double& hi) const {
    if (!HasResults || mSC.Count() <= 0) {
        lo = hi = 0.0;
        return;
    }
    sampleMinMax(lo, hi, mSC.Count(), [&](double x) { return Calc_M(x); });
}

void TPaintObj::Save(RecordWriter& w, std::int32_t count9) const {
    const std::int32_t n = HasResults ? sSC.Count() : 0;
    auto ip = IPar;
    ip[8] = n > 0 ? n : 0;
    ip[7] = ResultsCurrent ? 0 : ResultHarmonics;
    ip[9] = count9;
    writeBlock(w, ip, RPar);
    if (ip[8] > 0) {
        // Exactly n, n and 2n - 2 values, the counts the reader sizes the vectors from.
        for (std::int32_t i = 0; i < n; ++i) {
            w.real23(sSC.at(i));
            w.endLine();
        }
        for (std::int32_t i = 0; i < n; ++i) {
            w.real23(qSC.at(i));
            w.endLine();
        }
        for (std::int64_t i = 0; i < 2 * static_cast<std::int64_t>(n) - 2; ++i) {
            w.real23(mSC.at(i));
            w.endLine();
        }
    }
    w.intField(styleCode(PaintStyle.qLine), 3);
    w.intField(styleCode(PaintStyle.sLine), 3);
    w.intField(PaintStyle.qColor, 10);
    w.intField(PaintStyle.sColor, 10);
    w.intField(PaintStyle.minColor, 10);
    w.intField(PaintStyle.maxColor, 10);
    w.intField(PaintStyle.DomainColor, 10);
    w.endLine();
}

bool TPaintObj::Load(RecordReader& r) {
    if (!ReadRecord(r)) return false;
    HasResults = IPar[8] > 0;
    ResultsCurrent = IPar[7] == 0;
    ResultHarmonics = IPar[7] != 0 ? IPar[7] : IPar[3];
    const std::int64_t n = IPar[8] > 0 ? IPar[8] : 0;
    const std::int64_t m = 2 * n - 2 > 0 ? 2 * n - 2 : 0;
    // Every value takes a line of its own: a count the rest of the file cannot hold is a
    // damaged file, not a request for memory.
    if (2 * n + m > static_cast<std::int64_t>(r.remaining()) / 2 + 1) return r.fail();
    if (!sSC.ReSize(static_cast<std::int32_t>(n)) || !qSC.ReSize(static_cast<std::int32_t>(n)) ||
        !mSC.ReSize(static_cast<std::int32_t>(m)))
        return r.fail();
    for (TVector* v : {&sSC, &qSC, &mSC}) {
        for (std::int32_t i = 0; i < v->Count(); ++i) {
            double x = 0.0;
            if (!r.readReal(x)) return false;
            r.skipLine();
            v->set(i, x);
        }
    }
    std::int32_t codes[2] = {};
    std::int32_t colours[5] = {};
    for (std::int32_t& c : codes)
        if (!r.readInt(c)) return false;
    for (std::int32_t& c : colours)
        if (!r.readInt(c)) return false;
    r.skipLine();
    PaintStyle.qLine = styleCode(codes[0]);
    PaintStyle.sLine = styleCode(codes[1]);
    PaintStyle.qColor = colours[0];
    PaintStyle.sColor = colours[1];
    PaintStyle.minColor = colours[2];
    PaintStyle.maxColor = colours[3];
    PaintStyle.DomainColor = colours[4];
    return true;
}

void THSHeader::Save(RecordWriter& w, std::int32_t count9) const {
    TPaintObj::Save(w, count9);
    w.textLine(ShortName);
}

bool THSHeader::Load(RecordReader& r) {
    if (!TPaintObj::Load(r)) return false;
    return r.readTextLine(ShortName);
}

} // namespace model
