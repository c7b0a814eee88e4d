#pragma once

#include "platform/Translatable.h"

#include <functional>
#include <string>
#include <vector>

// A text for the operator handed over as what it says and what it says it of: a template
// written in Russian with the places %1 … %9 for its arguments, and the arguments, which are
// data (a figure as the text shows it, a file or sample name) or texts of their own. The core
// composes no finished sentences for a window: ostrel-cli, the audit trail and the protocol
// render the Russian (RussianText), a window renders the same message with each template
// translated (app/Translated.h), so both show the same figures formatted the same way.
//
// Templates are marked with QT_TRANSLATE_NOOP(context, "…") where they are written, so that
// lupdate collects them into the translations under their context.
namespace core {

struct Message {
    // The translation context of `text`; nullptr when `text` is data, shown as it is.
    const char* context = nullptr;
    std::string text;
    std::vector<Message> arguments;  // for %1, %2 … of a template

    static Message Data(std::string text) { return Message{nullptr, std::move(text), {}}; }
};

// A template's text in the language to show: given its context and the Russian template,
// returns the template to fill in (the same places %1 … %9).
using TemplateTranslator = std::function<std::string(const char* context, const char* text)>;

// The message as text: each template (translated by `translate` when one is given) with its
// arguments put in, in one pass, so that a "%2" inside an argument (a file name, say) stays as
// it is. A place beyond the arguments stays as written.
std::string RenderMessage(const Message& message, const TemplateTranslator& translate);

// The message in Russian, as the core's own output gives it.
inline std::string RussianText(const Message& message) { return RenderMessage(message, nullptr); }

}  // namespace core
