// Helpers shared by the files of the main window (not part of its interface).
#pragma once

#include <QString>

#include <string>

#include "model/tree.h"

namespace ui {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The motion a node stands for in the value table: itself, or a restriction's parent.
inline model::TPaintObj* motionOf(model::Node* n) {
    if (n == nullptr) return nullptr;
    if (n->kind() == model::ObjectKind::Restriction && n->parent != nullptr) n = n->parent;
    return n->as<model::TPaintObj>();
}

// The restriction a node stands for: itself, or a group member's.
inline model::TRestr* restrictionOf(model::Node* n) {
    if (n == nullptr) return nullptr;
    if (auto* m = n->as<model::TGroupMember>()) return m->restriction();
    return n->as<model::TRestr>();
}

} // namespace ui
