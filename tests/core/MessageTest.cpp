#include "core/Message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using core::Message;

// Arguments go in once, in the order their places name, whatever they hold: a file named
// "a%2b.stg" stays as it is. A translator gets the templates, never the data.
TEST(RenderMessage, PutsTheArgumentsInOnceAndTranslatesOnlyTemplates) {
    const Message line{"Finding", "строка %1", {Message::Data("3")}};
    const Message message{"Outer", "%2 — файл %1, %3 % из %4", {Message::Data("a%2b.stg"), line, Message::Data("15")}};
    EXPECT_EQ(core::RussianText(message), "строка 3 — файл a%2b.stg, 15 % из %4");

    std::vector<std::string> asked;
    const core::TemplateTranslator english = [&](const char* context, const char* text) {
        asked.push_back(std::string(context) + ": " + text);
        const std::string t = text;
        return t == "строка %1" ? std::string("line %1") : std::string("file %1 (%2), %3 % of %4");
    };
    EXPECT_EQ(core::RenderMessage(message, english), "file a%2b.stg (line 3), 15 % of %4");
    EXPECT_EQ(asked, (std::vector<std::string>{"Outer: %2 — файл %1, %3 % из %4", "Finding: строка %1"}));
}

}  // namespace
