// Import of motion data: a calculation input ".kq4" becomes a new project; a ".kqe" or
// ".kqw" motion file is read into a staging record and becomes one new absolute motion
// motion specification with its restrictions.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/containers.h"
#include "model/message.h"
#include "model/tree.h"

namespace model {

inline constexpr const char* kImportOpenFailed = "Die Datei konnte nicht geöffnet werden.";
inline constexpr const char* kNewProjectQuestion = "Neues Projekt erzeugen?";
inline constexpr int kMaxSetRecords = 40;

// Builds a project from the text of a ".kq4" file. Code 0: success (project set); a positive
// line number on a conversion error; -1 when the declared motion specifications and groups
// are not all present (or the declared counts are beyond what a project holds).
struct Kq4Import {
    int code = 0;
    std::unique_ptr<Node> project;
};
Kq4Import importKq4(std::string_view text, const std::string& fileName);

// One restriction line of a motion file, with the flags derived from its codes.
struct SetRecord {
    int kind = 0, bound = 0, variability = 0;
    std::array<double, 9> real{}; // [1..8]

    bool spectrum() const { return kind >= 20 && kind <= 24; }
    bool spectrumVariable() const { return spectrum() && variability / 100 == 1; }
    int harmonic() const { return bound & 0xFF; }
    bool interval() const { return kind >= 10 && kind <= 13; }
    bool lowerAngleVariable() const {
        return interval() && (variability / 100 == 1 || variability / 100 == 3);
    }
    bool upperAngleVariable() const {
        return interval() && (variability / 100 == 2 || variability / 100 == 3);
    }
    bool lowerBound() const { return bound == 1 || bound == 3; }
    bool lowerBoundVariable() const { return lowerBound() && (variability % 100) / 10 == 2; }
    bool upperBound() const { return bound == 2 || bound == 3; }
    bool upperBoundVariable() const { return upperBound() && variability % 10 == 2; }
};

// The staging record of a ".kqe" or ".kqw" file.
class TDataSet {
public:
    virtual ~TDataSet() = default;
    std::string name; // "[Description]" of a ".kqw" file
};

class THSSet : public TDataSet {
public:
    THSSet() : mFR(42) {}
    int harmonics = 0;   // K
    int etaVariable = 0; // 1: the eta limit is variable
    int third = 0;       // read, not used
    double eta = 0.0, etaLimit = 0.0, theta = 0.0;
    std::vector<SetRecord> records;
    TFTField mFR; // "[Result]" coefficients, read but not used
};

// Code 0, -1 (header incomplete) or a positive line number.
int readKqe(std::string_view text, THSSet& set);
int readKqw(std::string_view text, THSSet& set);

// Inserts a staging record as the next absolute motion specification: into a new project
// (newProject, or no selection) or into the project of the selection. Returns the project
// node, or the message when the project already holds ten motion specifications.
std::variant<Node*, Message> insertMotion(ProjectTree& tree, const THSSet& set, Node* selected,
                                          bool newProject);

// The whole import command without the dialogs: dispatch by extension (".kq4", ".kqe",
// ".kqw", case-sensitive), read, build, and the messages of failure. For a motion file the
// answer to "Neues Projekt erzeugen?" is passed in. nullptr and no message: not imported
// (another extension).
std::variant<Node*, Message> importFile(ProjectTree& tree, const std::string& path,
                                        Node* selected = nullptr, bool newProject = true);

} // namespace model
