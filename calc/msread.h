#pragma once

#include <string>

#include "calc/records.h"

namespace calc {

enum class [[nodiscard]] ReadResult{
    Read,       // status 0: the records were read
    NotReadable // status 1: the file cannot be opened, is no regular file, or holds too many
                // records
};

// Reads every record of one calculation input file: per record a read of nine integers and a
// read of twelve reals (free format). Lines that do not parse are skipped; a record with a
// negative IPar[1] is dropped; a record cut off by the end of the file is dropped.
ReadResult MSREAD(const std::string& fileName, Records& records);

} // namespace calc
