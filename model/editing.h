// The model side of the editor: the state of one object that an undo restores, the
// harmonic budget of a motion specification, the normalisation of the project's optimisation
// settings, a restriction's membership in a group of global optimisation objects, and the trial
// evaluation of a motion with test values of eta and theta.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/tree.h"

namespace model {

// What an edit of one object can change, and its undo restores: the parameter record (IPar[1..8],
// RPar[1..12]), Modified, the object's text (a project's Description, a motion
// specification's ShortName), and for a restriction Global, GlobalPar and the group it belongs
// to.
struct EditState {
    std::array<std::int32_t, 10> IPar{};
    std::array<double, 13> RPar{};
    bool Modified = false;
    std::string text;
    bool Global = false;
    std::array<double, 13> GlobalPar{};
    // The group node of a global restriction while it exists (cleared by forgetGroup when the
    // group is removed); never dereferenced once gone.
    const Node* group = nullptr;

    // Equal definitions: everything but Modified.
    bool sameDefinition(const EditState& o) const;
};

EditState captureState(const Node& node);

// Writes state into node as one edit (editObject: Modified, the project Changed, captions and
// currency), then sets Modified as the state says when keepModified is false. A restriction whose
// membership differs is put back: into its recorded group while that exists, into a new group of
// its own when the group is gone (groups were renumbered), or out of its group, which is removed
// when it becomes empty.
void applyState(Node& node, const EditState& state, bool restoreModified);

// The largest number of harmonics the absolute motion specification may have: the module's
// budget of ((240 - 2·N) div 4) harmonics over all N motion specifications of the project,
// less what the others use; never below 1.
int harmonicBudget(const Node& motionSpec);

// Why the harmonic count K of the absolute motion specification is too small for its
// restrictions, if it is: a series of K harmonics shapes no section shorter than half the period
// of its highest harmonic, 180/K degrees, so restriction angles (points, interval ends) closer
// together than that ask for more harmonics. Numbers with the given decimal separator.
std::optional<std::string> fewHarmonicsReason(const Node& motionSpec, char decimalPoint = '.');

// The project's advanced optimisation settings as the editor shows them: with them on,
// values out of range (IPar[4] 2..40, IPar[5] 5..500, RPar[1] 0.0001..1) go back to 8, 20 and
// 0.25; with them off, the defaults are written. True when something changed.
bool normaliseOptimisationSettings(TProject& project);

// "Verschiebung zulassen": puts the restriction into group g of its project (0: a new group);
// clearing it removes its member and the emptied group, renumbering the groups after it.
// Returns the group node (nullptr when cleared).
Node* setGlobal(Node& restriction, int group);
void clearGlobal(Node& restriction);

// The shift ranges of a restriction that joins a group: where they do not hold its angles
// (φ1 in RPar[9..10], φ2 in RPar[11..12] after the first range), they become the angles
// themselves, so that the restriction stays consistent and shifts nowhere until they are
// widened.
void fitShiftRanges(TRestr& restriction);

// The group node the restriction's member is in, if any.
Node* groupOf(const Node& restriction);

// Line styles and colours of a plotted motion: the project file changes (its project becomes
// Changed), the results do not (nothing becomes Modified). Reported as Presentation only, so
// that a window showing the definition (the editor and its undo) is not disturbed.
void setPaintStyle(Node& motion, const PaintStyle& style);

// "Test": q and M of the absolute motion specification formed again from its s series with the
// trial values TestEta and TestTheta, and the relative motions that use it. No calculation runs
// and no flag of the project or of the motions changes. False when q could not be formed.
bool testMotion(Node& motionSpec, double eta, double theta);

} // namespace model
