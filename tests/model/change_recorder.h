// An observer of a project tree that records every notification, for the tests of who tells
// what (model, calculation control, main window).
#pragma once

#include <algorithm>
#include <map>
#include <vector>

#include "model/tree.h"

namespace model::test {

struct ChangeRecorder : ProjectObserver {
    std::map<const Node*, ChangeFlags> changed;
    std::map<const Node*, int> calls; // notifyChanged calls per node
    std::vector<const Node*> removed;
    std::vector<const Node*> selections;
    int done = 0; // notifyChangesDone calls
    // A change reported for a node already removed, or a node removed before its children.
    int faults = 0;

    void notifyChanged(const Node& n, ChangeFlags what) override {
        if (std::find(removed.begin(), removed.end(), &n) != removed.end()) ++faults;
        changed[&n] |= what;
        ++calls[&n];
    }
    void notifyRemoved(const Node& n) override {
        if (!n.children.empty()) ++faults;
        removed.push_back(&n);
    }
    void notifySelection(const Node* n) override { selections.push_back(n); }
    void notifyChangesDone() override { ++done; }

    bool has(const Node& n, ChangeFlags f) const {
        auto it = changed.find(&n);
        return it != changed.end() && (it->second & f) == f;
    }
    void clear() {
        changed.clear();
        calls.clear();
        removed.clear();
        selections.clear();
        done = 0;
    }
};

} // namespace model::test
