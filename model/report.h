// The report of a project as RTF text lines: header list, page header, title, date, the motion
// specifications with their results and restrictions, the relative ones. Qt-free: the window, the
// files and tervana-cli render or write these lines.
#pragma once

#include <string>
#include <vector>

#include "model/tree.h"

namespace model {

struct ReportDate {
    int day = 1, month = 1, year = 2000;
};

// SOURCE_DATE_EPOCH, the usual way to date output reproducibly: seconds since 1970 (UTC) as a
// decimal number. Valid fills date (UTC); Unset when the variable is absent or empty.
enum class EpochDate { Unset, Valid, NotANumber, OutOfRange };
EpochDate sourceDateEpoch(ReportDate& date);

// The document's RTF lines for project (a project node), dated date, numbers with the given
// decimal separator. Every text taken from the project is escaped (RTF specials, characters
// outside Windows-1252); the lines are Windows-1252 bytes.
std::vector<std::string> buildReport(const Node& project, const ReportDate& date,
                                     char decimalSeparator);

// The text of an RTF file of the lines (each ended by CR LF).
std::string reportText(const std::vector<std::string>& lines);

} // namespace model
