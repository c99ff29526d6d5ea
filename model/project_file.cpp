#include "model/project_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "model/record_io.h"
#include "model/results.h"

namespace model {

namespace {

std::string fileNamePart(const std::string& path) {
    const std::size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string directoryPart(const std::string& path) {
    const std::size_t p = path.find_last_of('/');
    return p == std::string::npos ? "." : (p == 0 ? "/" : path.substr(0, p));
}

// Reads one restriction record and puts it under its parent, with its group membership.
bool readRestriction(RecordReader& r, Node& project, Node* motionNode, bool results) {
    auto restr = std::make_unique<TRestr>();
    if (!restr->ReadRecord(r)) return false;
    const std::int32_t g = restr->IPar[8];
    if (restr->Global && g > kMaxGroups) return r.fail();
    if (motionNode == nullptr) {
        // A relative restriction: under the relative specification of its two numbers (a
        // switched-off one, with a negative first number, under the same one).
        const std::int32_t a = restr->IPar[1];
        if (a == INT32_MIN) return r.fail();
        motionNode = &findOrCreateRel(project, a < 0 ? -a : a, restr->IPar[2]);
    }
    if (results)
        if (auto* motion = motionNode->as<TPaintObj>()) restr->ComputeActualValues(*motion);
    const bool global = restr->Global;
    Node& node = addChild(*motionNode, std::move(restr));
    if (global) findOrCreateMember(findOrCreateGroup(project, g), node);
    return true;
}

} // namespace

std::string writeProject(const Node& project) {
    RecordWriter w;
    const TProject& p = *project.as<TProject>();
    p.WriteRecord(w);
    // All motion specifications before any relative one, whatever the tree's order: the reader
    // takes the records after the last motion specification's restrictions as relative ones.
    for (const auto& child : project.children) {
        const auto* h = child->as<THSHeader>();
        if (h == nullptr) continue;
        h->Save(w, static_cast<std::int32_t>(child->children.size()));
        for (const auto& rc : child->children) rc->obj().WriteRecord(w);
    }
    for (const auto& child : project.children)
        if (child->as<TRelHeader>() != nullptr)
            for (const auto& rc : child->children) rc->obj().WriteRecord(w);
    return w.take();
}

std::variant<std::unique_ptr<Node>, ReadFailure> readProject(std::string_view bytes) {
    RecordReader r(bytes);
    auto projectNode = std::make_unique<Node>(std::make_unique<TProject>());
    Node& project = *projectNode;
    TProject& p = projectObj(project);
    if (!p.ReadRecord(r)) return ReadFailure{r.line()};
    p.UpdateCaption();
    const std::int32_t a = p.IPar[3];
    const std::int32_t g = p.IPar[8];
    // Counts beyond what a project can hold are damage, not a request to build them.
    if (a < 0 || a > kMaxMotionSpecs || g < 0 || g > kMaxGroups) return ReadFailure{2};
    p.IPar[3] = 0;
    p.IPar[8] = 0;
    for (std::int32_t i = 0; i < a; ++i) findOrCreateAbs(project, 0);
    for (std::int32_t i = 0; i < g; ++i) findOrCreateGroup(project, 0);
    for (std::int32_t k = 1; k <= a; ++k) {
        Node* motionNode = findAbs(project, k);
        auto* h = motionNode->as<THSHeader>();
        if (!h->Load(r)) return ReadFailure{r.line()};
        // The motion specification's number is its place in the file.
        h->IPar[2] = k;
        h->UpdateCaption();
        const std::int32_t count = h->IPar[9];
        if (count < 0) return ReadFailure{r.line()};
        for (std::int32_t i = 0; i < count; ++i)
            if (!readRestriction(r, project, motionNode, p.ResultsStored))
                return ReadFailure{r.line()};
    }
    while (!r.atEnd())
        if (!readRestriction(r, project, nullptr, false)) return ReadFailure{r.line()};
    if (p.ResultsStored) {
        for (auto& c : project.children)
            if (c->kind() == ObjectKind::RelSpec) computeRelativeCoefficients(project, *c);
    }
    refreshCaptions(project);
    // Results the file calls current were calculated from the input it holds.
    adoptCurrentInput(project);
    return projectNode;
}

bool hasProjectExtension(const std::string& path) {
    const std::string name = fileNamePart(path);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".k4p") == 0;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), {});
    return !f.bad();
}

namespace {

std::variant<Node*, Message> openAny(ProjectTree& tree, const std::string& path, bool checkExt,
                                     const char* openFailed) {
    std::string bytes;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !readWholeFile(path, bytes))
        return errorMessage(openFailed);
    if (checkExt && !hasProjectExtension(path)) return errorMessage(kAssignmentErrors);
    auto result = readProject(bytes);
    if (auto* failure = std::get_if<ReadFailure>(&result))
        return errorMessage("Fehler beim Lesen der Datei\r" + fileNamePart(path) + " in Zeile " +
                            std::to_string(failure->line) + ".");
    auto project = std::move(std::get<std::unique_ptr<Node>>(result));
    TProject& p = projectObj(*project);
    p.FileName = path;
    p.UpdateCaption();
    return &tree.appendProject(std::move(project));
}

} // namespace

std::variant<Node*, Message> openProject(ProjectTree& tree, const std::string& path) {
    return openAny(tree, path, true, kProjectOpenFailed);
}

std::variant<Node*, Message> openRecentProject(ProjectTree& tree, const std::string& path) {
    auto r = openAny(tree, path, false, "");
    if (std::holds_alternative<Message>(r))
        return errorMessage("Fehler beim Lesen der Datei\r" + path);
    return r;
}

int replaceFile(const std::string& path, std::string_view bytes) {
    std::string tmpl = directoryPart(path) + "/." + fileNamePart(path) + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return errno;
    // The new file gets the permissions of the one it replaces, else the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(name.data());
            return err;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(name.data());
        return err;
    }
    if (::rename(name.data(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(name.data());
        return err;
    }
    return 0;
}

std::optional<Message> saveProjectFile(Node& project, const std::string& path) {
    TProject& p = projectObj(project);
    // The flags change only once the file is safely in place.
    if (const int err = replaceFile(path, writeProject(project)); err != 0)
        return errorMessage("Die Projektdatei " + path + " konnte nicht geschrieben werden:\r" +
                            std::strerror(err));
    forEachNode(project, [](Node& n) { n.obj().Modified = false; });
    p.Changed = false;
    notifyChanged(project, ChangeFlags::Values);
    return std::nullopt;
}

std::optional<Message> saveProject(Node& project, bool* saved) {
    TProject& p = projectObj(project);
    if (saved != nullptr) *saved = false;
    if (p.FileName.empty() || !hasProjectExtension(p.FileName)) return std::nullopt;
    auto m = saveProjectFile(project, p.FileName);
    if (!m && saved != nullptr) *saved = true;
    return m;
}

std::optional<Message> saveProjectAs(Node& project, const std::string& path) {
    if (!hasProjectExtension(path)) return errorMessage(kWrongSaveExtension);
    if (auto m = saveProjectFile(project, path)) return m;
    TProject& p = projectObj(project);
    p.FileName = path;
    p.UpdateCaption();
    notifyChanged(project, ChangeFlags::Caption | ChangeFlags::Values);
    return std::nullopt;
}

} // namespace model
