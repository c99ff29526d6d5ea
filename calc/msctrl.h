#pragma once

#include "calc/listing.h"
#include "calc/records.h"

namespace calc {

// Validates all records. On the first failure the record is reported on the listing (its
// number among the stored records, its nine integers, its twelve reals) and false returned;
// the caller then reports the input error.
[[nodiscard]] bool MSCTRL(const Records& records, OutputStream& listing);

} // namespace calc
