// Why an object is inconsistent: the first rule of its consistency check that fails, named
// with the slots and values at fault.
#pragma once

#include <optional>
#include <string>

#include "model/members.h"

namespace model {

std::optional<std::string> inconsistencyReason(TNLMember& obj);

} // namespace model
