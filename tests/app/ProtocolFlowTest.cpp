// "Протокол…" on the demo profile: saved as a PDF, printed, and a path that cannot be written, with
// the question, the file chooser and the print dialog answered by the test.
#include "DialogDriver.h"

#include "app/ProtocolFlow.h"
#include "support/PdfText.h"

#include <QPrinter>

#include <filesystem>
#include <regex>

namespace {

using namespace apptest;
using namespace resources;
namespace fs = std::filesystem;

constexpr int kSave = 0, kPrint = 1, kCancel = 2;

std::string Squeezed(const std::string& text) { return std::regex_replace(text, std::regex(R"(\s+)"), " "); }

// Answers the file chooser with a path of the test's, remembering what it suggested.
class PathAnswer {
public:
    explicit PathAnswer(std::optional<QString> answer) {
        previous_ = SetProtocolPathChooser([this, answer](QWidget*, const QString& suggested) {
            suggestions.push_back(suggested.toStdString());
            return answer;
        });
    }
    ~PathAnswer() { SetProtocolPathChooser(previous_); }
    std::vector<std::string> suggestions;

private:
    ProtocolPathChooser previous_;
};

// The demo profile's protocol as the dialog shows it: the levels' samples and hashes, the method.
void ExpectDemoProtocol(const std::string& pdf, const Profile& profile) {
    ASSERT_TRUE(fs::exists(pdf)) << pdf;
    EXPECT_EQ(fixtures::ReadPdfInfo(pdf).pages, 1);
    const std::string text = Squeezed(fixtures::PdfText(pdf));
    for (const std::string& path : profile.demo.levelPaths)
        EXPECT_NE(text.find(fixtures::CommandOutput("sha256sum " + fixtures::ShellQuoted(path)).substr(0, 16)),
                  std::string::npos);
    for (const char* what : {"Градуировка 0.05", "Градуировка 0.5", "Метод Этанол", "Калибровка принята", "Стр. 1 из 1",
                             fixtures::kDemoLabName})
        EXPECT_NE(text.find(what), std::string::npos) << what << " missing from:\n" << text;
}

TEST(ProtocolFlow, SavesThePdfUnderTheNameTheOperatorChoosesWithADefaultFromMethodAndDate) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    EXPECT_EQ(d.Control<QAbstractButton>(IDC_PROTOCOL)->text(), QString::fromUtf8("Протокол…"));
    const std::string pdf = profile->home.Dir().Path() + "/протокол.pdf";

    PathAnswer cancelled(std::nullopt);
    log.answer = [](const ChoiceBox&) { return kSave; };
    d.Click(IDC_PROTOCOL);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].buttons, (QStringList{"Сохранить PDF…", "Печать…", "Отмена"}));
    EXPECT_EQ(log.boxes[0].escapeButton, kCancel);
    ASSERT_EQ(cancelled.suggestions.size(), 1u);
    EXPECT_TRUE(std::regex_match(fs::path(cancelled.suggestions[0]).filename().string(),
                                 std::regex(R"(Протокол градуировки Этанол \d{4}-\d\d-\d\d \d\d-\d\d\.pdf)")))
        << cancelled.suggestions[0];
    EXPECT_TRUE(fs::is_directory(fs::path(cancelled.suggestions[0]).parent_path())) << cancelled.suggestions[0];
    EXPECT_EQ(log.boxes.size(), 1u) << "cancelled: nothing written, nothing said";

    PathAnswer chosen(QString::fromStdString(pdf));
    d.Click(IDC_PROTOCOL);
    ExpectDemoProtocol(pdf, *profile);
    ASSERT_EQ(log.boxes.size(), 3u) << "saved: where it went";
    EXPECT_EQ(log.boxes[2].icon, ChoiceBox::Icon::Information);
    EXPECT_EQ(log.Box(2), "Протокол сохранён в файл\n" + pdf);
    EXPECT_EQ(fs::path(chosen.suggestions.at(0)).parent_path(), fs::path(cancelled.suggestions[0]).parent_path());

    log.answer = [](const ChoiceBox&) { return kCancel; };
    fs::remove(pdf);
    d.Click(IDC_PROTOCOL);
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_EQ(chosen.suggestions.size(), 1u) << "no file chooser after Отмена";
    EXPECT_TRUE(log.messages.empty());
}

TEST(ProtocolFlow, APathThatCannotBeWrittenIsToldAndLeavesNoFile) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string regular = profile->home.Dir().WriteFile("regular", "x");
    const std::string path = regular + "/протокол.pdf";
    PathAnswer chosen(QString::fromStdString(path));
    log.answer = [](const ChoiceBox& box) { return box.buttons.size() == 3 ? kSave : 0; };
    d.Click(IDC_PROTOCOL);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(log.boxes[1].icon, ChoiceBox::Icon::Warning);
    EXPECT_EQ(log.Box(1), "Протокол не сохранён:\n" + path + ": Not a directory");
    EXPECT_EQ(fixtures::ReadFileBytes(regular), "x");
}

TEST(ProtocolFlow, AFieldWithoutANumberRefusesTheProtocol) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    PathAnswer chosen(QString::fromStdString(profile->home.Dir().Path() + "/протокол.pdf"));
    d.Paste(IDC_NAV, "abc");
    d.Click(IDC_PROTOCOL);
    ASSERT_EQ(log.boxes.size(), 1u) << "refused before anything is asked";
    EXPECT_EQ(log.boxes.back().text.toStdString(),
              "Протокол не составлен: не во всех полях стоят допустимые числа; исправьте поле, отмеченное красным.");
    EXPECT_TRUE(chosen.suggestions.empty());
    EXPECT_FALSE(fs::exists(profile->home.Dir().Path() + "/протокол.pdf"));
}

TEST(ProtocolFlow, PrintsThroughThePrintDialogOntoTheChosenPrinter) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    log.answer = [](const ChoiceBox&) { return kPrint; };
    const std::string printed = profile->home.Dir().Path() + "/printed.pdf";
    int dialogs = 0;
    const PrintSetup previous = SetPrintSetup([&](QWidget*, QPrinter& printer) {
        ++dialogs;
        EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
        if (dialogs == 1) return false;  // the operator closes the print dialog
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printed));
        return true;
    });
    d.Click(IDC_PROTOCOL);
    EXPECT_FALSE(fs::exists(printed));
    d.Click(IDC_PROTOCOL);
    SetPrintSetup(previous);
    EXPECT_EQ(dialogs, 2);
    ExpectDemoProtocol(printed, *profile);
    EXPECT_EQ(log.boxes.size(), 2u) << "only the questions";
}

}  // namespace
