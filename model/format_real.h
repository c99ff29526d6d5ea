// Text forms of numbers. Every number that reaches a file or a caption passes through here;
// none of them follows the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace model {

// The text of x with p significant digits (p = 1 .. 17): " 100.0", " 12.5", "-90.0",
// " 0.00125", " 0.1235E+05", " 0.1E-04"; " 0.0" for zero, " nan " and " inf " for the special
// values. Cut to 255 characters.
std::string FormatReal(double x, int p);

// Replaces the first "." (or, without one, the first ",") by the given decimal separator,
// for display in an edit field.
std::string localizeDecimal(std::string text, char separator);

// The text of x as the windows show it: FormatReal with p significant digits, without the
// leading blank, and the given decimal separator ("12,5", "-90.0", "0,1235E+05").
std::string displayReal(double x, int p, char separator);

// x with the given number of decimals in fixed notation and the given decimal separator
// ("2,4"); "?" when that takes more than 32 characters.
std::string fixedDecimals(double x, int decimals, char separator);

// The 23-character real of the project file: sign character (blank or "-"), one digit, ".",
// 14 digits, "E", exponent sign and four exponent digits. Non-finite values are written as
// "Nan", "+Inf" or "-Inf", right-aligned in 23 characters (the reader takes them back).
std::string formatReal23(double x);

// An integer right-aligned in a field of the given width. A value that fills or overflows the
// field gets one blank in front, so that neighbouring numbers always stay apart.
std::string formatIntField(std::int64_t value, int width);

// Right-aligns text in a field; text that fills or overflows it gets one blank in front.
std::string padField(std::string_view text, int width);

// Whole-token conversions with "." as the decimal point whatever the locale. An integer is an
// optional sign and digits within 32 bits. A real is an optional sign, digits with an optional
// point and an optional exponent (E or e), or the words nan, inf, infinity (any case); a
// value beyond the range of a double is refused.
bool parseInt32(std::string_view token, std::int32_t& value);
bool parseDouble(std::string_view token, double& value);

// Rounds a double to the precision of a 6-byte real (40 significant bits, magnitude up to
// 1.7E+38; smaller than 2.9E-39 gives 0). False when the value is out of that range or not
// finite.
bool toReal48(double& value);

} // namespace model
