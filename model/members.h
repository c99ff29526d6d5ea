// The objects of the project tree: projects, motion specifications (absolute and relative),
// restrictions, groups of global optimisation objects and their members. Each object carries a
// parameter record of nine integers IPar[1..9] and twelve reals RPar[1..12] whose meaning
// depends on the class; the tree nodes that own the objects are in tree.h.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/containers.h"
#include "model/message.h"
#include "model/paint_style.h"

namespace model {

struct Node;
class RecordWriter;
class RecordReader;

enum class ObjectKind { Project, AbsSpec, RelSpec, Restriction, Group, GroupMember };

// Restriction kinds (IPar[3]); the last digit is the derivative order.
inline bool isPointKind(int k) {
    return (k >= 0 && k <= 3) || (k >= 40 && k <= 43);
}
inline bool isIntervalKind(int k) {
    return (k >= 10 && k <= 13) || (k >= 50 && k <= 53);
}
inline bool isSpectrumKind(int k) {
    return k >= 20 && k <= 24;
}
inline bool isRelativeKind(int k) {
    return (k >= 40 && k <= 43) || (k >= 50 && k <= 53);
}

// Texts of the refused copies.
inline constexpr const char* kCopyGroupRefused =
    "Gruppen globaler Optimierungsobjekte können nicht\rkopiert werden sondern müssen beim "
    "Kopieren der\rRestriktionen in den Datensätzen neu angelegt werden.";
inline constexpr const char* kCopyMemberRefused =
    "Globale Optimierungsobjekte können nicht einzeln\rkopiert werden sondern müssen beim "
    "Kopieren der\rRestriktionen in den Datensätzen neu angelegt werden.";

class TNLMember {
public:
    TNLMember() = default;
    TNLMember& operator=(const TNLMember&) = delete;
    virtual ~TNLMember() = default;

    std::array<std::int32_t, 10> IPar{}; // IPar[1..9]; element 0 unused
    std::array<double, 13> RPar{};       // RPar[1..12]; element 0 unused
    std::string Caption;
    std::int64_t SortKey = 0; // 64 bits: keys built from hostile numbers must not overflow
    bool Deleted = false;
    bool Valid = true;
    bool Modified = true;
    bool Highlighted = false;
    Node* node = nullptr; // the tree node that owns this object; set by the node

    virtual ObjectKind kind() const = 0;
    // A copy of every field, owned by no node: what a tree command keeps of an object to put it
    // back as it was (tree_command.h).
    virtual std::unique_ptr<TNLMember> clone() const = 0;

    // Copies IPar[1..8] (not IPar[9]), RPar[1..12], Caption and SortKey.
    void CopyBaseTo(TNLMember& dest) const;
    virtual void UpdateCaption() { Caption = "Fehler"; }
    virtual bool CheckValid() = 0;
    // Copies into an object of the same class; a refused copy returns its message.
    virtual std::optional<Message> CopyTo(TNLMember& dest) const;

    // The parameter block (P1, P2) of the project file. Writing changes nothing; reading
    // clears Modified.
    virtual void WriteRecord(RecordWriter& w) const;
    virtual bool ReadRecord(RecordReader& r);

protected:
    // For clone() only: a node owns exactly one object.
    TNLMember(const TNLMember&) = default;
    template <class T> static std::unique_ptr<TNLMember> cloneOf(const T& object) {
        std::unique_ptr<TNLMember> copy(new T(object));
        copy->node = nullptr;
        return copy;
    }

    // The two lines of a parameter block with the given slots.
    static void writeBlock(RecordWriter& w, const std::array<std::int32_t, 10>& ip,
                           const std::array<double, 13>& rp);
};

// What the stored results of a project were calculated from, kept in memory: the calculation
// input without the slots that only files carry (inputFingerprint, calc_input.h), and the
// restriction parameters of the run (GlobalPar, as the random search left them) in the order
// of the input's restriction records.
struct ResultsInput {
    std::string text;
    std::vector<std::array<double, 13>> globalPar;
};

class TProject : public TNLMember {
public:
    std::string FileName;
    std::string Description;
    bool ResultsStored = false;
    bool Calculated = false;
    bool AllCurrent = false;
    bool Changed = true;
    bool Locked = false;
    bool TestMode = false;
    // In memory only: the input of the stored results (none when unknown), the input text of
    // the run in progress, and the wall-clock seconds of the run that gave the stored results
    // (< 0: unknown, as after reading a file).
    std::optional<ResultsInput> CalculatedInput;
    std::string RunInput;
    double ResultSeconds = -1.0;

    ObjectKind kind() const override { return ObjectKind::Project; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override { return Valid = true; }
    std::optional<Message> CopyTo(TNLMember& dest) const override;
    // Writes AllCurrent and ResultsStored into IPar[7] and IPar[9], and zeros for the advanced
    // settings while they are off; the object itself keeps its slots.
    void WriteRecord(RecordWriter& w) const override;
    bool ReadRecord(RecordReader& r) override;
};

// An object that carries a synthesised motion: coefficient series of s, q and of the torque
// term s'·s'', and their evaluation.
class TPaintObj : public TNLMember {
public:
    TPaintObj();

    TVector sSC, qSC, mSC;
    bool HasResults = false;
    bool ResultsCurrent = false;
    ::model::PaintStyle PaintStyle; // line styles and colours of this motion
    std::int32_t ResultHarmonics = 0;

    std::optional<Message> CopyTo(TNLMember& dest) const override;

    // Coefficient of sin(k phi) resp. cos(k phi) in the n-th derivative (per radian). For
    // k = 0 the sine functions return element 0 (eta).
    double s_sin(int n, int k) const { return effSin(sSC, n, k); }
    double s_cos(int n, int k) const { return effCos(sSC, n, k); }
    double q_sin(int n, int k) const { return effSin(qSC, n, k); }
    double q_cos(int n, int k) const { return effCos(qSC, n, k); }
    double m_sin(int k) const { return k == 0 ? 0.0 : mSC.at(2 * static_cast<std::int64_t>(k)); }
    double m_cos(int k) const {
        return k == 0 ? 0.0 : mSC.at(2 * static_cast<std::int64_t>(k) + 1);
    }

    // Values at phi in degrees.
    double Calc_s(int n, double phi) const { return series(sSC, n, phi); }
    double Calc_q(int n, double phi) const { return series(qSC, n, phi); }
    double Calc_M(double phi) const;

    // On entry lo and hi give the angle interval; on return the smallest and largest sampled
    // value over it.
    void GetMinMax_s(int n, double& lo, double& hi) const;
    void GetMinMax_q(int n, double& lo, double& hi) const;
    void GetMinMax_M(double& lo, double& hi) const;

    // The record in the project file: parameter block (with the result count and currency
    // in IPar[8] and IPar[7], and count9 in IPar[9]), coefficient lines, attribute line.
    virtual void Save(RecordWriter& w, std::int32_t count9) const;
    virtual bool Load(RecordReader& r);

private:
    static double effSin(const TVector& v, int n, int k);
    static double effCos(const TVector& v, int n, int k);
    static double series(const TVector& v, int n, double phi);
};

class THSHeader : public TPaintObj {
public:
    THSHeader() { IPar[3] = 1; }
    std::string ShortName;
    double TestEta = 0.0;
    double TestTheta = 0.0;

    ObjectKind kind() const override { return ObjectKind::AbsSpec; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override;
    void Save(RecordWriter& w, std::int32_t count9) const override;
    bool Load(RecordReader& r) override;
    // ShortName + " (Kopie)", then CopyTo.
    void Duplicate(THSHeader& dest) const;
};

class TRelHeader : public TPaintObj {
public:
    ObjectKind kind() const override { return ObjectKind::RelSpec; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override { return Valid = true; }
    void Duplicate(TRelHeader& dest) const { (void)CopyTo(dest); }
};

class TRestr : public TNLMember {
public:
    bool Global = false;
    std::array<double, 13> GlobalPar{}; // [1..12]
    std::array<double, 5> ActualS{};    // [1..4]
    std::array<double, 5> ActualQ{};    // [1..4]

    ObjectKind kind() const override { return ObjectKind::Restriction; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override;
    std::optional<Message> CopyTo(TNLMember& dest) const override;
    void WriteRecord(RecordWriter& w) const override;
    bool ReadRecord(RecordReader& r) override;

    int code() const { return IPar[3]; }
    int order() const { return ((IPar[3] % 10) + 10) % 10; }

    // Actual values against the motion of the given motion specification (ActualS from s, ActualQ
    // from q).
    void ComputeActualValues(const TPaintObj& motion);
};

class TGroupHeader : public TNLMember {
public:
    ObjectKind kind() const override { return ObjectKind::Group; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override { return Valid = true; }
    std::optional<Message> CopyTo(TNLMember& dest) const override;
};

class TGroupMember : public TNLMember {
public:
    Node* RefTNR = nullptr; // the node of the referenced restriction; not owned

    ObjectKind kind() const override { return ObjectKind::GroupMember; }
    std::unique_ptr<TNLMember> clone() const override { return cloneOf(*this); }
    void UpdateCaption() override;
    bool CheckValid() override;
    std::optional<Message> CopyTo(TNLMember& dest) const override;
    TRestr* restriction() const;
};

// Samples f over lo .. hi by the rule of the diagrams' extremes: h = 36 / n degrees, step
// D / (D / h + 1), the end point always evaluated exactly. Returns the smallest and largest
// value in lo and hi.
template <class F> void sampleMinMax(double& lo, double& hi, std::int32_t n, F&& f);

// Harmonic count of a series with the given number of values.
inline std::int32_t harmonicsOf(std::int32_t count) {
    return count / 2 - 1;
}

} // namespace model

#include "model/sample_minmax.inl"
