// Why an object is inconsistent: the first rule of its consistency check that fails, in the
// words of the editor's fields (start and end, minimum and maximum requirement, shift range)
// with the values at fault, written with the given decimal separator.
#pragma once

#include <optional>
#include <string>

#include "model/members.h"

namespace model {

std::optional<std::string> inconsistencyReason(TNLMember& obj, char decimalPoint = '.');

} // namespace model
