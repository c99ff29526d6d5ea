// The project tree: nodes that own the objects, and the operations the main window, the file
// reader and the import perform on it. Siblings are kept in ascending SortKey; equal keys
// keep their insertion order, so tree order, file order and the running numbers written into
// the calculation input always agree.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "model/members.h"
#include "model/message.h"
#include "model/observer.h"

namespace model {

inline constexpr int kMaxMotionSpecs = 10;
// Groups of global optimisation objects a reader accepts (the module itself runs with five).
inline constexpr int kMaxGroups = 1000;

inline constexpr const char* kTooManySpecs =
    "Ein Projekt kann maximal 10 Bewegungsvorgaben enthalten.";
// The number of harmonics a new motion specification starts with, as far as the project's
// harmonic budget allows.
inline constexpr int kNewMotionHarmonics = 20;

class ProjectTree;

struct Node {
    explicit Node(std::unique_ptr<TNLMember> obj);
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    std::unique_ptr<TNLMember> object;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    int stateIndex = 0; // a restriction's group number, recorded when a member refers to it
    ProjectTree* tree = nullptr; // on a project at the top level of a ProjectTree: that tree

    TNLMember& obj() const { return *object; }
    ObjectKind kind() const { return object->kind(); }
    template <class T> T* as() const { return dynamic_cast<T*>(object.get()); }
    std::size_t indexInParent() const;
};

// The operations below that change a node tell the observers of the ProjectTree that holds
// it (none for a project not yet in a tree, such as one being read).

// The tree that holds the project of node, if any.
ProjectTree* treeOf(const Node& node);
// Tells the observers of node's tree (if any) that node changed.
void notifyChanged(const Node& node, ChangeFlags what);

// Collects the notifications of one command: while the outermost batch of a tree is open,
// each changed node is reported once, with the union of its flags, when it closes. Closing
// never throws (see ProjectTree::observerError).
class ChangeBatch {
public:
    explicit ChangeBatch(ProjectTree* tree);
    explicit ChangeBatch(const Node& node) : ChangeBatch(treeOf(node)) {}
    ChangeBatch(const ChangeBatch&) = delete;
    ChangeBatch& operator=(const ChangeBatch&) = delete;
    ~ChangeBatch();

private:
    ProjectTree* tree_;
};

// Appends a new child under parent, builds its caption and sorts the siblings.
Node& addChild(Node& parent, std::unique_ptr<TNLMember> obj);
// Sorts every sibling list below node by SortKey (stable).
void sortTree(Node& node);
// Rebuilds captions (and sort keys) of node and its whole subtree, then sorts.
void refreshCaptions(Node& node);

// Every edit of an object's definition (its parameter record or other fields): change is
// applied, the object becomes Modified and its project Changed, captions, order and
// consistency follow, and the result currency is updated (which only ever clears it).
void editObject(Node& node, const std::function<void(TNLMember&)>& change);

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

// The relative coefficients of (a, b) from the two absolute specifications, then (unless
// actualValues is false, as in a test run) the actual values of its restrictions.
void computeRelativeCoefficients(Node& project, Node& rel, bool actualValues = true);

// Result currency after an edit: a motion whose own record or restrictions are Modified
// loses ResultsCurrent, and so do the motions that depend on it; AllCurrent is cleared when a
// motion is stale, and Changed set. Nothing is ever made current here: only a calculation
// (results.h) or a file read that says so does that.
void updateCurrency(Node& project);

// Whether the project of node can be calculated: it has children, nothing runs and every
// object of the subtree is consistent.
bool calculationPossible(Node& node, bool running);

// Consistency of every object of the subtree (stores Valid); the inconsistent nodes.
std::vector<Node*> inconsistentNodes(Node& project);

// Calls f for every node of the subtree in tree order (pre-order).
void forEachNode(Node& node, const std::function<void(Node&)>& f);

// Whether target is root or a node of root's subtree.
bool contains(const Node& root, const Node* target);

// All open projects, as the main window's tree view holds them, with the observers of every
// change and the selection that the windows follow.
class ProjectTree {
public:
    ProjectTree() = default;
    ProjectTree(const ProjectTree&) = delete;
    ProjectTree& operator=(const ProjectTree&) = delete;
    ~ProjectTree();

    std::vector<std::unique_ptr<Node>> roots; // read freely; change only through operations
    bool Deleting = false;
    // While set, the nodes that a deletion takes out of a project are handed over here instead of
    // being freed (after they were reported removed), so that a tree command can put them back.
    std::vector<std::unique_ptr<Node>>* keepRemoved = nullptr;

    // Observers are not owned; one must be removed before it is destroyed.
    void addObserver(ProjectObserver& o);
    void removeObserver(ProjectObserver& o);
    // An exception thrown by an observer goes here (none set: it is dropped). It never stops
    // the round: the other observers are told all the same, and later rounds run as usual.
    std::function<void(std::exception_ptr)> observerError;
    // Reports a change (queued while a ChangeBatch is open); see notifyChanged.
    void changed(const Node& node, ChangeFlags what);
    // Reports node as removed, at once; the caller frees it right after.
    void removing(const Node& node);

    // The selected node, which every window that follows the selection shows. select moves
    // the Highlighted marks (unless a deletion runs) and announces the new selection when it
    // differs from the old one.
    Node* selected() const { return selected_; }
    void select(Node* node);

    // "&Projekt": a new empty project at the end of the top level, with the whole-cycle
    // switch on (RPar[3] = kDefaultWholeCycleTolerance).
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

    // The motion specification of the selection (itself or the parent) that can hold a
    // restriction of kind code: an absolute one for absolute and spectrum kinds, a relative one
    // for relative kinds; none otherwise.
    static Node* holderFor(Node& selected, int code);
    // Whether the restriction may move under target's motion specification (holderFor): another
    // one of the same project.
    static bool canMoveRestriction(const Node& restriction, Node& target);
    // Moves the restriction under that motion specification: it takes the number(s) of its new
    // motion specification (a switched-off one stays off), keeps its group, and counts as edited
    // (the results of its new motion specification are no longer current). False when it may not.
    bool moveRestriction(Node& restriction, Node& target);
    // Pastes a copy of a restriction under the motion specification of the selection that can
    // hold its kind, numbered for it, in no group, without actual values. nullptr when none can.
    Node* pasteRestriction(Node& selected, const TRestr& copy);

    // "&Löschen" of a node, with the renumbering and clean-up of the main window. The
    // question to ask first (when deletion is confirmed) comes from deleteQuestion. Every
    // removed node is reported before it is freed. When the selection was removed, the
    // nearest surviving ancestor is selected, for a project the one that moves into its place
    // (else the one before it), and announced.
    void deleteNode(Node& node);
    static std::string deleteQuestion(const Node& node);

    // Drops a copy of the project at the end of the top level: project, duplicated motion
    // motion specifications with copies of their restrictions, group members recreated.
    Node& copyProject(const Node& project);

    std::size_t indexOf(const Node& root) const;

private:
    friend class ChangeBatch;
    void removeNode(Node& node, std::vector<Node*>& candidates);
    void flush();
    void reportObserverError(std::exception_ptr e) noexcept;
    void notifyObservers(const std::function<void(ProjectObserver&)>& tell);
    static void setHighlighted(Node* node, bool on);

    std::vector<ProjectObserver*> observers_;
    std::vector<std::pair<const Node*, ChangeFlags>> pending_;
    int batchDepth_ = 0;
    Node* selected_ = nullptr;
};

} // namespace model
