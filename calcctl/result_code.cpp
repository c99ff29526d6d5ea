#include "calcctl/result_code.h"

#include <array>
#include <utility>
#include <vector>

namespace calcctl {

namespace {

struct CodeEntry {
    int code;
    const char* text;
    model::MessageKind kind;
};

using model::MessageKind;

constexpr std::array<CodeEntry, 13> kCodes{{
    {kCodeMaxMet, kTextMaxMet, MessageKind::Warning},
    {kCodeAborted, kTextAborted, MessageKind::Information},
    {kCodeMinimal, kTextMinimal, MessageKind::Error},
    {kCodeInput, kTextInput, MessageKind::Error},
    {kCodeTooLarge, kTextTooLarge, MessageKind::Error},
    {kCodeResonance, kTextResonance, MessageKind::Error},
    {kCodeEtaGrid, kTextEtaGrid, MessageKind::Error},
    {kCodeNotStarted, kTextNotStarted, MessageKind::Error},
    {kCodeLocked, kTextLocked, MessageKind::Error},
    {kCodeNoAnswer, kTextNoAnswer, MessageKind::Warning},
    {kCodeUserAbort, kTextUserAbort, MessageKind::Warning},
    {kCodeUploadTimeout, kTextUploadTimeout, MessageKind::Error},
    {kCodeNoConnection, kTextNoConnection, MessageKind::Error},
}};

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

} // namespace

std::optional<model::Message> codeMessage(int code) {
    // The user's own abort is not reported for a single run; the batch summary uses the text.
    if (code == kCodeOk || code == kCodeUserAbort) return std::nullopt;
    for (const CodeEntry& e : kCodes)
        if (e.code == code) return model::Message{e.text, e.kind};
    return model::Message{kTextUnknown + std::to_string(code), MessageKind::Error};
}

std::string rejectedRecordText(const std::string& listing) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        lines.push_back(trimRight(listing.substr(start, end - start)));
        start = end + 1;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(" Fehlerhafter Datensatz:", 0) == 0) {
            // The number line, then the record's integers and reals as the module lists them.
            std::string text = lines[i];
            for (std::size_t j = i + 1; j < lines.size() && j <= i + 2; ++j) {
                if (lines[j].rfind("Eingabefehler", 0) == 0) break;
                text += "\r" + lines[j];
            }
            return text;
        }
        if (lines[i].rfind("Kein Startdatensatz gefunden", 0) == 0) return lines[i];
    }
    return {};
}

} // namespace calcctl
