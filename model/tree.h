// The project tree: nodes that own the objects, and the operations the main window, the file
// reader and the import perform on it. Siblings are kept in ascending SortKey; equal keys
// keep their insertion order, so tree order, file order and the running numbers written into
// the calculation input always agree.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "members.h"
#include "message.h"

namespace model {

inline constexpr int kMaxMotionSpecs = 10;
// Groups of global optimisation objects a reader accepts (the module itself runs with five).
inline constexpr int kMaxGroups = 1000;

inline constexpr const char* kTooManySpecs =
    "Ein Projekt kann maximal 10 Bewegungsvorgaben enthalten.";

struct Node {
    explicit Node(std::unique_ptr<TNLMember> obj);
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    std::unique_ptr<TNLMember> object;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    int stateIndex = 0; // a restriction's group number, recorded when a member refers to it

    TNLMember& obj() const { return *object; }
    ObjectKind kind() const { return object->kind(); }
    template <class T> T* as() const { return dynamic_cast<T*>(object.get()); }
    std::size_t indexInParent() const;
};

// Appends a new child under parent, builds its caption and sorts the siblings.
Node& addChild(Node& parent, std::unique_ptr<TNLMember> obj);
// Sorts every sibling list below node by SortKey (stable).
void sortTree(Node& node);
// Rebuilds captions (and sort keys) of node and its whole subtree, then sorts.
void refreshCaptions(Node& node);

// Walks up to the project node (nullptr when there is none).
Node* projectOf(Node* node);
const Node* projectOf(const Node* node);

TProject& projectObj(Node& project);

// Find-or-create operations (the number 0 means: the next number).
Node& findOrCreateAbs(Node& project, int n);
Node& findOrCreateRel(Node& project, int a, int b);
Node& findOrCreateGroup(Node& project, int g);
Node& findOrCreateMember(Node& group, Node& restriction);

// Look-ups without creating anything.
Node* findAbs(const Node& project, int n);
Node* findRel(const Node& project, int a, int b);
Node* findGroup(const Node& project, int g);

// The relative coefficients of (a, b) from the two absolute specifications, then the actual
// values of its restrictions.
void computeRelativeCoefficients(Node& project, Node& rel);

// Result currency after an edit: ResultsCurrent of every motion, AllCurrent and Changed of
// the project.
void updateCurrency(Node& project);

// Whether the project of node can be calculated: it has children, nothing runs and every
// object of the subtree is consistent.
bool calculationPossible(Node& node, bool running);

// Consistency of every object of the subtree (stores Valid); the inconsistent nodes.
std::vector<Node*> inconsistentNodes(Node& project);

// Calls f for every node of the subtree in tree order (pre-order).
void forEachNode(Node& node, const std::function<void(Node&)>& f);

// All open projects, as the main window's tree view holds them.
class ProjectTree {
public:
    std::vector<std::unique_ptr<Node>> roots;
    bool Deleting = false;

    // "&Projekt": a new empty project at the end of the top level.
    Node& newProject();
    // Appends a project built elsewhere (file reader, import).
    Node& appendProject(std::unique_ptr<Node> project);

    // "Restriktion (&absolut)" on the selected node: the node itself when it is an absolute
    // motion specification, its parent when that is one, else the next new motion specification of
    // the project (refused beyond ten). Returns the new restriction node.
    std::variant<Node*, Message> newAbsRestriction(Node& selected);
    // "&Bewegungsvorgabe (abs)": a new motion specification with a first restriction.
    std::variant<Node*, Message> newMotionSpec(Node& selected);
    // "Restriktion (&Spektrum)": kind 20 under the absolute specification of the selection.
    Node* newSpectrumRestriction(Node& selected);
    // "Restriktion (&relativ)": kind 40 under the relative specification of the selection.
    Node* newRelRestriction(Node& selected);

    // "&Löschen" of a node, with the renumbering and clean-up of the main window. The
    // question to ask first (when deletion is confirmed) comes from deleteQuestion.
    void deleteNode(Node& node);
    static std::string deleteQuestion(const Node& node);

    // Drops a copy of the project at the end of the top level: project, duplicated motion
    // motion specifications with copies of their restrictions, group members recreated.
    Node& copyProject(const Node& project);

    std::size_t indexOf(const Node& root) const;

private:
    void removeNode(Node& node, std::vector<Node*>& candidates);
};

} // namespace model
