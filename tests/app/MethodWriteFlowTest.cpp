// "Сохранить в метод" and "Отменить запись" on the demo profile, with every box read and answered.
#include "DialogDriver.h"

#include "core/MethodHistory.h"
#include "core/Sha256.h"
#include "platform/LockedFile.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <functional>

namespace {

using namespace apptest;
using namespace resources;
using Json = nlohmann::json;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Shortest(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string AuditLog(const Profile& profile) { return profile.home.OstrelData() + "/audit.jsonl"; }

std::vector<Json> AuditRecords(const Profile& profile) {
    std::vector<Json> records;
    const std::string text = fixtures::ReadFileBytes(AuditLog(profile));
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        records.push_back(Json::parse(text.substr(start, end - start)));
    return records;
}

TEST(MethodWriteFlow, ConfirmsThenWritesAndTellsWhereTheMethodWasKept) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string ethanol = profile->demo.MethodFile("Этанол");
    const std::string before = fixtures::ReadFileBytes(ethanol);
    const double average = d.dialog->State().averageCoefficient;

    log.answer = [](const ChoiceBox&) { return 1; };  // "Не записывать"
    d.Click(IDC_SAVE_TO_METHOD);
    ASSERT_EQ(log.boxes.size(), 1u) << "declined: nothing more is said";
    EXPECT_EQ(fixtures::ReadFileBytes(ethanol), before);
    const ChoiceBox& question = log.boxes[0];
    EXPECT_EQ(question.buttons, (QStringList{"Записать", "Не записывать"}));
    EXPECT_EQ(question.defaultButton, 0) << "an accepted calibration";
    EXPECT_EQ(question.escapeButton, 1);
    const std::string text = log.Box(0);
    EXPECT_TRUE(Contains(text, "в метод «Этанол»?")) << text;
    EXPECT_TRUE(Contains(text, "Файл метода: " + ethanol)) << text;
    EXPECT_TRUE(Contains(text, "Сейчас в методе: 0\n")) << text;
    EXPECT_TRUE(Contains(text, "Будет записано: " + Shortest(average) + "\n")) << "every digit: " << text;
    EXPECT_TRUE(Contains(text, "Градуировка принята")) << text;

    log.answer = nullptr;  // Enter: the default button
    d.Click(IDC_SAVE_TO_METHOD);
    ASSERT_EQ(log.boxes.size(), 3u);
    const std::string told = log.Box(2);
    const std::vector<core::KeptCopy> copies = core::ListKeptCopies("Этанол");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(fixtures::ReadFileBytes(copies[0].path), before);
    EXPECT_EQ(told, "Коэффициент записан в метод «Этанол».\nБыло: 0\nСтало: " + Shortest(average) +
                        "\nПрежний файл метода сохранён: " + copies[0].path);
    EXPECT_EQ(log.boxes[2].icon, ChoiceBox::Icon::Information);
    double written;
    std::memcpy(&written, fixtures::ReadFileBytes(ethanol).data() + fixtures::DemoEthanolRecordOffset() + 31, 8);
    EXPECT_EQ(written, average);

    // The dialog's line in the audit trail carries its inputs, levels and verdict.
    const std::vector<Json> records = AuditRecords(*profile);
    ASSERT_EQ(records.size(), 2u);
    const Json& record = records[1];
    EXPECT_EQ(record["outcome"], "written");
    EXPECT_EQ(record["program"], "ostrel");
    EXPECT_EQ(record["inputs"]["nav"], profile->demo.nav);
    EXPECT_EQ(record["inputs"]["dolya"], profile->demo.dolya);
    ASSERT_EQ(record["levels"].size(), 5u);
    EXPECT_EQ(record["levels"][2]["path"], profile->demo.levelPaths[2]);
    EXPECT_EQ(record["levels"][2]["sha256"], core::Sha256Hex(fixtures::ReadFileBytes(profile->demo.levelPaths[2])));
    EXPECT_EQ(record["levels"][2]["sample"], "Градуировка 0.1");
    EXPECT_TRUE(record["levels"][2]["dateTime"].is_string());
    EXPECT_EQ(record["quality"]["accepted"], true);
    EXPECT_EQ(record["quality"]["spread"], d.dialog->Quality().spread);
}

// Each fault is refused with a message before any question, and nothing is written or recorded.
TEST(MethodWriteFlow, RefusesWhatCannotBeWritten) {
    struct Case {
        const char* what;
        std::function<void(Driver&, const Profile&)> make;
        const char* refusal;
    };
    const auto setMethodPath = [](const Profile& p, const std::string& folder) {
        platform::XTPRegistryManager().SetStringValue("", "MethodPath", folder);
        (void)p;
    };
    const Case cases[] = {
        {"a field that is not a number", [](Driver& d, const Profile&) { d.Paste(IDC_NAV, "1.5x"); },
         "не во всех полях стоят допустимые числа"},
        {"a mass fraction over 100", [](Driver& d, const Profile&) { d.Paste(IDC_DOLYA, "150"); },
         "не во всех полях стоят допустимые числа"},
        {"no chromatogram", [](Driver& d, const Profile&) { d.Click(IDC_CLEAR); },
         "ни на одном уровне нет прочитанной хроматограммы"},
        {"an average of 0: only the blank",
         [](Driver& d, const Profile& p) {
             d.Click(IDC_CLEAR);
             d.dialog->SetLevelFileChooser([&p](QWidget*, const CCalibrationDlg::LevelFileRequest&) {
                 return std::optional<std::string>(p.demo.levelPaths[0]);
             });
             d.Click(IDC_LEVEL0);
         },
         "средний градуировочный коэффициент (0) не является положительным числом"},
        {"no method folder", [&](Driver&, const Profile& p) { setMethodPath(p, ""); }, "папка методов не задана"},
        {"a method folder that is gone", [&](Driver&, const Profile& p) { setMethodPath(p, p.demo.folder + "/gone"); },
         "папка методов «"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto profile = Profile::Demo();
        const std::string ethanol = fixtures::ReadFileBytes(profile->demo.MethodFile("Этанол"));
        MessageLog log;
        Driver d;
        c.make(d, *profile);
        d.Click(IDC_SAVE_TO_METHOD);
        ASSERT_EQ(log.boxes.size(), 1u);
        EXPECT_TRUE(Contains(log.Box(0), std::string("Коэффициент не записан: ") + c.refusal)) << log.Box(0);
        EXPECT_EQ(log.boxes[0].icon, ChoiceBox::Icon::Warning);
        EXPECT_EQ(fixtures::ReadFileBytes(profile->demo.MethodFile("Этанол")), ethanol);
        EXPECT_FALSE(std::filesystem::exists(profile->home.OstrelData()));
    }
}

TEST(MethodWriteFlow, ACalibrationNotAcceptedIsWrittenOnlyOnPurpose) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string before = fixtures::ReadFileBytes(profile->demo.MethodFile("Этанол"));
    d.dialog->SetLevelFileChooser([&](QWidget*, const CCalibrationDlg::LevelFileRequest&) {
        return std::optional<std::string>(profile->demo.levelPaths[3]);
    });
    d.Click(IDC_LEVEL4);  // one file on two levels
    ASSERT_FALSE(d.dialog->Quality().accepted);

    d.Click(IDC_SAVE_TO_METHOD);
    ASSERT_EQ(log.boxes.size(), 1u) << "Enter writes nothing";
    EXPECT_EQ(log.boxes[0].defaultButton, 1);
    EXPECT_EQ(log.boxes[0].icon, ChoiceBox::Icon::Warning);
    EXPECT_TRUE(Contains(log.Box(0), "ВНИМАНИЕ: градуировка НЕ принята:\n  • " + d.dialog->Quality().problems[0]))
        << log.Box(0);
    EXPECT_EQ(fixtures::ReadFileBytes(profile->demo.MethodFile("Этанол")), before);

    log.answer = [](const ChoiceBox&) { return 0; };
    d.Click(IDC_SAVE_TO_METHOD);
    ASSERT_EQ(log.boxes.size(), 3u);
    EXPECT_TRUE(Contains(log.Box(2), "Коэффициент записан")) << log.Box(2);
    EXPECT_EQ(AuditRecords(*profile).back()["quality"]["accepted"], false);
}

TEST(MethodWriteFlow, TellsExactlyWhyNothingWasWritten) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    log.answer = [](const ChoiceBox&) { return 0; };

    d.Choose("Метанол");
    d.Click(IDC_SAVE_TO_METHOD);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_TRUE(Contains(log.Box(0), "Сейчас в методе: нет записи этанола\n")) << log.Box(0);
    EXPECT_EQ(log.Box(1), "Коэффициент не записан в метод «Метанол»: нет записи этанола.\nФайл метода: " +
                              profile->demo.MethodFile("Метанол") + "\nМетод не изменён.");

    d.Choose("Этанол");
    const std::string ethanol = profile->demo.MethodFile("Этанол");
    const std::string before = fixtures::ReadFileBytes(ethanol);
    {
        const auto other = platform::LockedFile::Open(ethanol, platform::LockedFile::Mode::ReadOnly);
        ASSERT_TRUE(other);
        d.Click(IDC_SAVE_TO_METHOD);
    }
    ASSERT_EQ(log.boxes.size(), 4u);
    EXPECT_TRUE(Contains(log.Box(2), "Сейчас в методе: файл метода занят другой программой\n")) << log.Box(2);
    EXPECT_TRUE(Contains(log.Box(3), "«Этанол»: файл метода занят другой программой.")) << log.Box(3);
    EXPECT_EQ(fixtures::ReadFileBytes(ethanol), before);
    EXPECT_EQ(AuditRecords(*profile).back()["outcome"], "locked");
}

TEST(MethodWriteFlow, UndoPutsTheMethodBackAfterAsking) {
    auto profile = Profile::Demo();
    MessageLog log;
    Driver d;
    const std::string ethanol = profile->demo.MethodFile("Этанол");
    const std::string original = fixtures::ReadFileBytes(ethanol);

    d.Click(IDC_UNDO_METHOD_WRITE);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.Box(0), "Отменять нечего: копий метода «Этанол» до записи в него нет.");

    d.Click(IDC_SAVE_TO_METHOD);  // confirmed with Enter
    ASSERT_EQ(log.boxes.size(), 3u);
    const std::string written = fixtures::ReadFileBytes(ethanol);
    ASSERT_NE(written, original);

    d.Click(IDC_UNDO_METHOD_WRITE);  // Enter: "Отмена"
    ASSERT_EQ(log.boxes.size(), 4u);
    EXPECT_EQ(log.boxes[3].defaultButton, 1);
    EXPECT_EQ(log.boxes[3].buttons[0], "Вернуть копию");
    const std::string question = log.Box(3);
    const core::KeptCopy copy = core::ListKeptCopies("Этанол").back();
    EXPECT_TRUE(Contains(question, "Отменить последнюю запись в метод «Этанол»?")) << question;
    EXPECT_TRUE(Contains(question, copy.path)) << question;
    EXPECT_TRUE(Contains(question,
                         "Сейчас в методе: " + Shortest(d.dialog->State().averageCoefficient) + "\nПосле отмены: 0\n"))
        << question;
    EXPECT_EQ(fixtures::ReadFileBytes(ethanol), written);

    log.answer = [](const ChoiceBox&) { return 0; };
    d.Click(IDC_UNDO_METHOD_WRITE);
    ASSERT_EQ(log.boxes.size(), 6u);
    EXPECT_EQ(fixtures::ReadFileBytes(ethanol), original);
    EXPECT_TRUE(Contains(log.Box(5), "Метод «Этанол» возвращён к копии от ")) << log.Box(5);
    const core::KeptCopy kept = core::ListKeptCopies("Этанол").back();
    EXPECT_EQ(fixtures::ReadFileBytes(kept.path), written) << "the undo can itself be undone";
    EXPECT_TRUE(Contains(log.Box(5), kept.path)) << log.Box(5);
    EXPECT_EQ(AuditRecords(*profile).back()["action"], "restore-method");
}

}  // namespace
