// Line styles and colours of one plotted motion; also the diagram default record.
#pragma once

#include <cstdint>

namespace model {

// Colours are 0x00BBGGRR; pen styles 0 .. 4 are solid, dash, dot, dash-dot, dash-dot-dot.
struct PaintStyle {
    std::uint8_t qLine = 0;
    std::uint8_t sLine = 0;
    std::int32_t qColor = 0x0000FF;
    std::int32_t sColor = 0x000000;
    std::int32_t minColor = 0xFF0000;
    std::int32_t maxColor = 0xFFFF00;
    std::int32_t DomainColor = 0x800000;
    std::int32_t Spare = 0; // not stored in the project file

    friend bool operator==(const PaintStyle&, const PaintStyle&) = default;
};

// A colour the user picked carries this mark in its top byte, which no colour uses. The s, q
// and bound colours left at their initial values above (every file that never picked one) are
// drawn in the diagram's palette colour of the motion instead; the mark keeps a picked black
// or red apart from them. The project file and the settings store keep the mark with the value.
inline constexpr std::int32_t kPickedColour = 0x02000000;

// The diagram default record that every new motion specification copies. The diagram
// defaults dialog changes it; it starts with the values above.
PaintStyle& diagramDefaults();

} // namespace model
