#include "model/import.h"

#include "model/format_real.h"
#include "model/project_file.h"
#include "model/text_codec.h"

namespace model {

namespace {

std::string fileNamePart(const std::string& path) {
    const std::size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

// Lines without their line ends (LF or CR LF).
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    return lines;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The maximal runs of the given characters (a run of reals may go on with E or e).
std::vector<std::string_view> scanRuns(std::string_view s, bool reals) {
    std::vector<std::string_view> runs;
    auto starts = [&](char c) { return isDigit(c) || c == '+' || c == '-' || (reals && c == '.'); };
    auto continues = [&](char c) { return starts(c) || (reals && (c == 'E' || c == 'e')); };
    std::size_t i = 0;
    while (i < s.size()) {
        if (!starts(s[i])) {
            ++i;
            continue;
        }
        const std::size_t b = i;
        while (i < s.size() && continues(s[i])) ++i;
        runs.push_back(s.substr(b, i - b));
    }
    return runs;
}

bool toReal6(std::string_view token, double& v) {
    return parseDouble(token, v) && toReal48(v);
}

std::vector<std::string_view> tokens(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t b = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > b) out.push_back(s.substr(b, i - b));
    }
    return out;
}

bool blankLine(std::string_view s) {
    return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string_view trim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The two header lines of a motion file; false when they are incomplete.
bool readHeader(const std::vector<std::string_view>& lines, std::size_t& i, THSSet& set) {
    if (i >= lines.size()) return false;
    auto t1 = tokens(lines[i]);
    std::int32_t v[3];
    if (t1.size() < 3) return false;
    for (int k = 0; k < 3; ++k)
        if (!parseInt32(t1[static_cast<std::size_t>(k)], v[k])) return false;
    set.harmonics = v[0];
    set.etaVariable = v[1];
    set.third = v[2];
    if (++i >= lines.size()) return false;
    auto t2 = tokens(lines[i]);
    const std::size_t n = set.etaVariable == 1 ? 3 : 2;
    if (t2.size() < n) return false;
    double r[3] = {};
    for (std::size_t k = 0; k < n; ++k)
        if (!toReal6(t2[k], r[k])) return false;
    set.eta = r[0];
    if (n == 3) {
        set.etaLimit = r[1];
        set.theta = r[2];
    } else {
        set.etaLimit = 0.0;
        set.theta = r[1];
    }
    ++i;
    return true;
}

bool parseRecordLine(std::string_view line, SetRecord& rec) {
    if (line.size() < 9) return false;
    std::int32_t codes[3];
    for (std::size_t k = 0; k < 3; ++k)
        if (!parseInt32(trim(line.substr(3 * k, 3)), codes[k])) return false;
    auto t = tokens(line.substr(9));
    if (t.size() < 8) return false;
    for (std::size_t k = 0; k < 8; ++k)
        if (!toReal6(t[k], rec.real[k + 1])) return false;
    rec.kind = codes[0];
    rec.bound = codes[1];
    rec.variability = codes[2];
    return true;
}

bool restBlank(const std::vector<std::string_view>& lines, std::size_t i) {
    for (; i < lines.size(); ++i)
        if (!blankLine(lines[i])) return false;
    return true;
}

// Restriction lines from lines[i] on, at most max records; 0 or the failing line (1-based
// line number, or record number + 2 when recordCodes).
int readRecords(const std::vector<std::string_view>& lines, std::size_t& i, int max, THSSet& set,
                bool recordCodes) {
    while (i < lines.size() && static_cast<int>(set.records.size()) < max) {
        const std::string_view line = lines[i];
        if (line.substr(0, 3) == "rbc") {
            ++i;
            break;
        }
        if (blankLine(line) && restBlank(lines, i)) break;
        SetRecord rec;
        if (!parseRecordLine(line, rec))
            return recordCodes ? static_cast<int>(set.records.size()) + 3 : static_cast<int>(i) + 1;
        set.records.push_back(rec);
        ++i;
    }
    return 0;
}

} // namespace

Kq4Import importKq4(std::string_view text, const std::string& fileName) {
    Kq4Import result;
    auto projectNode = std::make_unique<Node>(std::make_unique<TProject>());
    Node& project = *projectNode;
    TProject& p = projectObj(project);
    p.FileName = fileName;
    const auto lines = splitLines(text);
    bool haveProject = false;
    int count = 0, groups = 0, expectedSpecs = 0, expectedGroups = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Line 1: must start with an integer, else it is skipped.
        const std::string_view l1 = lines[i];
        const std::size_t b = l1.find_first_not_of(" \t");
        if (b == std::string_view::npos) continue;
        const bool startsInt = isDigit(l1[b]) || ((l1[b] == '+' || l1[b] == '-') &&
                                                  b + 1 < l1.size() && isDigit(l1[b + 1]));
        if (!startsInt) continue;
        const auto ints = scanRuns(l1.substr(b), false);
        const int lineNo = static_cast<int>(i) + 1;
        std::array<std::int32_t, 10> ip{};
        if (ints.size() < 8) {
            result.code = lineNo;
            return result;
        }
        for (std::size_t k = 0; k < 8; ++k)
            if (!parseInt32(ints[k], ip[k + 1])) {
                result.code = lineNo;
                return result;
            }
        // Line 2: twelve reals. A record cut off by the end of the file is dropped.
        if (++i >= lines.size()) break;
        const auto reals = scanRuns(lines[i], true);
        std::array<double, 13> rp{};
        if (reals.size() < 12) {
            result.code = static_cast<int>(i) + 1;
            return result;
        }
        for (std::size_t k = 0; k < 12; ++k)
            if (!toReal6(reals[k], rp[k + 1])) {
                result.code = static_cast<int>(i) + 1;
                return result;
            }

        if (ip[1] == 0 && ip[2] == 0) {
            if (haveProject) continue; // one start record per file; later ones build nothing
            haveProject = true;
            for (std::size_t k = 1; k <= 8; ++k) p.IPar[k] = ip[k];
            p.RPar = rp;
            p.IPar[6] = (rp[1] + ip[4] + ip[5] > 0) ? 1 : 0;
            count = p.IPar[3];
            groups = p.IPar[8];
            if (count < 0 || count > kMaxMotionSpecs || groups < 0 || groups > kMaxGroups) {
                result.code = -1;
                return result;
            }
            p.IPar[3] = 0;
            p.IPar[8] = 0;
            for (int k = 0; k < count; ++k) findOrCreateAbs(project, 0);
            for (int k = 0; k < groups; ++k) findOrCreateGroup(project, 0);
            expectedSpecs = count;
            expectedGroups = groups;
        } else if (ip[1] == 0 && ip[2] > 0) {
            if (ip[2] > count) continue;
            Node* motionNode = findAbs(project, ip[2]);
            TNLMember& h = motionNode->obj();
            for (std::size_t k = 1; k <= 8; ++k) h.IPar[k] = ip[k];
            h.RPar = rp;
            h.UpdateCaption();
            --expectedSpecs;
        } else if (ip[1] > 0) {
            const int a = ip[1], kind = ip[3], bNum = ip[2];
            Node* parent = nullptr;
            if (kind > 39) {
                if (a < bNum && bNum <= count) parent = &findOrCreateRel(project, a, bNum);
            } else if (a <= count) {
                parent = findAbs(project, a);
            }
            if (parent == nullptr) continue;
            auto r = std::make_unique<TRestr>();
            for (std::size_t k = 1; k <= 8; ++k) r->IPar[k] = ip[k];
            r->RPar = rp;
            r->GlobalPar = rp;
            if (groups == 0) r->IPar[8] = 0;
            const int g = r->IPar[8];
            r->Global = g > 0;
            Node& rn = addChild(*parent, std::move(r));
            if (g >= 1 && g <= groups) {
                Node& gn = findOrCreateGroup(project, g);
                --expectedGroups;
                findOrCreateMember(gn, rn);
            }
        }
    }
    if (!haveProject || expectedSpecs + expectedGroups > 0) {
        result.code = -1;
        return result;
    }
    refreshCaptions(project);
    result.project = std::move(projectNode);
    return result;
}

int readKqe(std::string_view text, THSSet& set) {
    const auto lines = splitLines(text);
    std::size_t i = 0;
    if (!readHeader(lines, i, set)) return -1;
    return readRecords(lines, i, kMaxSetRecords, set, true);
}

int readKqw(std::string_view text, THSSet& set) {
    const auto lines = splitLines(text);
    bool haveHeader = false;
    for (std::size_t i = 0; i < lines.size();) {
        const std::string_view line = trim(lines[i]);
        ++i;
        if (line.empty() || line.front() != '[') continue;
        if (line == "[Version]") {
            if (i < lines.size()) ++i;
        } else if (line == "[Description]") {
            if (i < lines.size()) {
                std::string_view name = lines[i++];
                if (name.size() > 255) name = name.substr(0, 255);
                set.name = cp1252ToUtf8(name);
            }
        } else if (line == "[MLAbs]") {
            std::int32_t n = 0;
            if (i >= lines.size()) return -1;
            const auto t = tokens(lines[i]);
            if (t.empty() || !parseInt32(t[0], n)) return static_cast<int>(i) + 1;
            ++i;
            set.records.clear();
            if (!readHeader(lines, i, set)) return -1;
            haveHeader = true;
            const int max = n < 0 ? 0 : (n > kMaxSetRecords ? kMaxSetRecords : n);
            if (int code = readRecords(lines, i, max, set, false); code != 0) return code;
        } else if (line == "[Result]") {
            const std::int64_t pairs = static_cast<std::int64_t>(set.harmonics) + 1;
            for (std::int64_t k = 0; k < pairs && i + 1 < lines.size() && k < 1000000; ++k) {
                double s = 0.0, c = 0.0;
                if (!toReal6(trim(lines[i]), s)) return static_cast<int>(i) + 1;
                if (!toReal6(trim(lines[i + 1]), c)) return static_cast<int>(i) + 2;
                set.mFR.setSin(static_cast<std::int32_t>(k), s);
                set.mFR.setCos(static_cast<std::int32_t>(k), c);
                i += 2;
            }
        }
    }
    return haveHeader ? 0 : -1;
}

std::variant<Node*, Message> insertMotion(ProjectTree& tree, const THSSet& set, Node* selected,
                                          bool newProject) {
    Node* project = (selected != nullptr && !newProject) ? projectOf(selected) : &tree.newProject();
    auto first = tree.newAbsRestriction(*project);
    if (auto* m = std::get_if<Message>(&first)) return *m;
    Node* restrNode = std::get<Node*>(first);
    Node* specNode = restrNode->parent;
    auto* h = specNode->as<THSHeader>();
    h->ShortName = set.name;
    h->IPar[3] = set.harmonics;
    h->IPar[4] = set.etaVariable;
    h->RPar[1] = set.etaLimit;
    h->RPar[2] = set.eta;
    h->RPar[3] = set.theta;
    h->UpdateCaption();
    for (std::size_t i = 0; i < set.records.size(); ++i) {
        if (i > 0) restrNode = std::get<Node*>(tree.newAbsRestriction(*specNode));
        const SetRecord& rec = set.records[i];
        TRestr& r = *restrNode->as<TRestr>();
        const auto& x = rec.real;
        r.IPar[3] = rec.kind;
        if (rec.spectrum()) {
            r.IPar[2] = rec.harmonic();
            r.RPar[6] = x[2];
            if (rec.spectrumVariable()) {
                r.IPar[6] = 1;
                r.RPar[5] = x[1];
            } else {
                r.IPar[6] = 0;
            }
        } else {
            r.RPar[2] = x[1];
            const bool point = !rec.interval();
            if (rec.interval()) {
                r.IPar[4] = rec.lowerAngleVariable() ? 1 : 0;
                if (r.IPar[4] == 1) r.RPar[1] = x[2];
                r.RPar[4] = x[3];
                r.IPar[5] = rec.upperAngleVariable() ? 1 : 0;
                if (r.IPar[5] == 1) r.RPar[3] = x[4];
            }
            if (rec.lowerBound() || point) {
                if (rec.lowerBoundVariable()) {
                    r.IPar[6] = 1;
                    r.RPar[5] = x[5];
                    r.RPar[6] = x[6];
                } else {
                    r.IPar[6] = 0;
                    r.RPar[6] = x[5];
                }
            } else {
                r.IPar[6] = -1;
            }
            if (rec.upperBound() || point) {
                if (rec.upperBoundVariable()) {
                    r.IPar[7] = 1;
                    r.RPar[7] = x[7];
                    r.RPar[8] = x[8];
                } else {
                    r.IPar[7] = 0;
                    r.RPar[8] = x[7];
                }
            } else {
                r.IPar[7] = -1;
            }
        }
        r.GlobalPar = r.RPar;
        r.UpdateCaption();
        notifyChanged(*restrNode, ChangeFlags::Values);
    }
    notifyChanged(*specNode, ChangeFlags::Values);
    refreshCaptions(*project);
    updateCurrency(*project);
    return project;
}

std::variant<Node*, Message> importFile(ProjectTree& tree, const std::string& path, Node* selected,
                                        bool newProject) {
    const std::string name = fileNamePart(path);
    auto endsWith = [&](const char* ext) {
        return name.size() >= 4 && name.compare(name.size() - 4, 4, ext) == 0;
    };
    const int type = endsWith(".kq4") ? 1 : endsWith(".kqe") ? 2 : endsWith(".kqw") ? 3 : 0;
    if (type == 0) return static_cast<Node*>(nullptr);
    // Everything the import adds is reported once, when it is complete.
    ChangeBatch batch(&tree);
    std::string bytes;
    if (!readWholeFile(path, bytes)) return errorMessage(kImportOpenFailed);
    const std::string lineError = "Fehler beim Lesen der Datei\r" + name + " in Zeile ";
    if (type == 1) {
        Kq4Import r = importKq4(bytes, path);
        if (r.code > 0) return errorMessage(lineError + std::to_string(r.code) + ".");
        if (r.code != 0) return errorMessage(kAssignmentErrors);
        r.project->obj().UpdateCaption();
        return &tree.appendProject(std::move(r.project));
    }
    THSSet set;
    const int code = type == 2 ? readKqe(bytes, set) : readKqw(bytes, set);
    if (code > 0) return errorMessage(lineError + std::to_string(code) + ".");
    if (code != 0) return errorMessage("Fehler beim Lesen der Datei " + name + ".");
    auto inserted = insertMotion(tree, set, selected, newProject);
    if (auto* m = std::get_if<Message>(&inserted)) return *m;
    Node* project = std::get<Node*>(inserted);
    // The new motion specification is the highest-numbered one; it names its source.
    Node* motionNode = findAbs(*project, projectObj(*project).IPar[3]);
    if (motionNode != nullptr) {
        auto* h = motionNode->as<THSHeader>();
        h->ShortName = "(aus: " + name + ") " + h->ShortName;
        if (h->ShortName.size() > 255) h->ShortName.resize(255);
        notifyChanged(*motionNode, ChangeFlags::Values);
    }
    int motionCount = 0;
    for (auto& c : project->children) motionCount += c->kind() == ObjectKind::AbsSpec ? 1 : 0;
    if (motionCount == 1) projectObj(*project).FileName = path;
    project->obj().UpdateCaption();
    sortTree(*project);
    notifyChanged(*project, ChangeFlags::Caption | ChangeFlags::Values);
    return project;
}

} // namespace model
