// Project files in another state than the one stored, for tests that need one (stale results,
// a setting of an older version), written by the program's own writer.
#pragma once

#include <functional>
#include <string>
#include <variant>

#include "model/project_file.h"
#include "model/tree.h"

namespace tervana::test {

// The text of the project file `file` as written after `change`; empty when it cannot be read.
inline std::string changedProject(const std::string& file,
                                  const std::function<void(model::Node&)>& change) {
    model::ProjectTree tree;
    auto opened = model::openProject(tree, file);
    if (!std::holds_alternative<model::Node*>(opened)) return {};
    model::Node& project = *std::get<model::Node*>(opened);
    change(project);
    return model::writeProject(project);
}

// Marks the stored results of a project stale, as an edit after the calculation would.
inline void makeResultsStale(model::Node& project) {
    model::projectObj(project).AllCurrent = false;
    for (auto& c : project.children)
        if (auto* h = c->as<model::THSHeader>()) h->ResultsCurrent = false;
}

} // namespace tervana::test
