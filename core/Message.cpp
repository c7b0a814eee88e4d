#include "core/Message.h"

namespace core {

std::string RenderMessage(const Message& message, const TemplateTranslator& translate) {
    if (!message.context) return message.text;
    const std::string shown = translate ? translate(message.context, message.text.c_str()) : message.text;
    std::string text;
    text.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const char next = i + 1 < shown.size() ? shown[i + 1] : '\0';
        const std::size_t place = static_cast<std::size_t>(next - '1');
        if (shown[i] == '%' && next >= '1' && next <= '9' && place < message.arguments.size()) {
            text += RenderMessage(message.arguments[place], translate);
            ++i;
        } else {
            text += shown[i];
        }
    }
    return text;
}

}  // namespace core
