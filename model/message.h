// Messages that the model hands to the front end: the text exactly as the user reads it, and
// the kind of dialog it belongs in. The model never shows anything itself.
#pragma once

#include <string>

namespace model {

enum class MessageKind { Error, Warning, Information, Confirmation };

struct Message {
    std::string text; // UTF-8; "\r" separates lines as in the dialogs
    MessageKind kind = MessageKind::Error;

    friend bool operator==(const Message&, const Message&) = default;
};

inline Message errorMessage(std::string text) {
    return Message{std::move(text), MessageKind::Error};
}

} // namespace model
