// The value table: the motion law of one motion specification as text lines over the drive
// angle, 0 .. 360 degrees.
#pragma once

#include <array>
#include <string>

#include "model/members.h"

namespace model {

struct TableSettings {
    std::array<bool, 4> s{true, true, true, false}; // s, s', s'', s'''
    bool M = false;                                 // s'·s''
    std::array<bool, 4> q{false, false, false, false};
    int digits = 6;    // "Stellenzahl", 4 .. 10
    double step = 1.0; // "Schrittweite [°]", 0.0001 .. 90

    int checkedCount() const;
    // Out-of-range digits and steps are clamped as the edit fields clamp them.
    void clamp();
};

// Which column boxes the dialog enables: all, except the only checked one.
// Index order: s, s', s'', s''', s'·s'', q, q', q'', q'''.
std::array<bool, 9> enabledBoxes(const TableSettings& t);

// The table text: one line per angle, each ended by CR LF, no header.
std::string valueTable(const TPaintObj& motion, TableSettings settings);

// The same columns as a point table for servo drives, in CSV (RFC 4180): a header row ("φ [°]",
// then the column labels of the dialog), fields separated by commas and quoted only when they
// must be, every line ended by CR LF, numbers with "." whatever the locale. A number is the
// shortest text that reads back to the same double, so that another program gets the values
// exactly; digits > 0 shortens them to that many significant digits on request (the angle keeps
// at least 10); settings.digits is the text table's and not used here. The cycle is sampled
// without its end point, since 360° is 0° again: with points > 0 at φ = i·360/points,
// i = 0 .. points−1, otherwise at the value table's angles 0, Δ, 2Δ, … below 360 − Δ/2.
std::string valueTableCsv(const TPaintObj& motion, TableSettings settings, int points = 0,
                          int digits = 0);

// One CSV field: quoted (inner quotes doubled) when it holds a comma, a quote, CR or LF.
std::string csvField(const std::string& text);

} // namespace model
