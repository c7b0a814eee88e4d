// "Экспорт…" in a level's chromatogram window: the chosen file written on a worker, the outcome
// told, the button off meanwhile and for a file that cannot be read.
#include "DialogDriver.h"

#include "app/ChromatogramExport.h"
#include "app/ChromatogramWindow.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using apptest::MessageLog;

class ChosenExportPath {
public:
    explicit ChosenExportPath(std::optional<QString> path)
        : previous_(SetExportPathChooser([path](QWidget*, const QString& suggested) {
              EXPECT_TRUE(suggested.endsWith("/run.cdf")) << suggested.toStdString();
              return path;
          })) {}
    ~ChosenExportPath() { SetExportPathChooser(previous_); }

private:
    ExportPathChooser previous_;
};

core::CalibrationLevel Level(const std::string& path) {
    core::CalibrationLevel level(0.05);
    level.path = path;
    return level;
}

}  // namespace

TEST(ChromatogramExport, WritesTheChosenKindOnAWorkerAndSaysWhere) {
    const fixtures::TempDir dir;
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 3, 1, 0};
    c.table.peaks = {fixtures::MakePeak(0.5, 3.5, "этанол")};
    const std::string stg = dir.Path() + "/run.stg";
    fixtures::WriteStg(stg, c);
    QWidget owner;
    auto* window = new CChromatogramWindow(&owner, Level(stg));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ExportButton()->isEnabled(); }, 10000)) << "read in the background";

    struct Case {
        std::string name, expectedStart, failure;
    };
    const std::vector<Case> cases = {
        {"run.cdf", std::string("CDF\x01", 4), ""},
        {"run.CSV", "# file: " + stg, ""},
        {"missing/run.cdf", "", dir.Path() + "/missing/run.cdf: No such file or directory"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        MessageLog log;
        const std::string out = dir.Path() + "/" + k.name;
        const ChosenExportPath chosen(QString::fromStdString(out));
        QTest::mouseClick(window->ExportButton(), Qt::LeftButton);
        EXPECT_FALSE(window->ExportButton()->isEnabled()) << "off while the file is written";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log.boxes.empty(); }, 10000));
        EXPECT_TRUE(window->ExportButton()->isEnabled());
        if (k.failure.empty()) {
            EXPECT_EQ(log.Box(0), "Хроматограмма сохранена в файл:\n" + out);
            EXPECT_EQ(fixtures::ReadFileBytes(out).rfind(k.expectedStart, 0), 0u);
        } else {
            EXPECT_EQ(log.boxes[0].icon, ChoiceBox::Icon::Warning);
            EXPECT_EQ(log.Box(0), "Хроматограмма не сохранена:\n" + k.failure);
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }

    // Cancelled: nothing is written and nothing is said.
    MessageLog log;
    const ChosenExportPath cancelled(std::nullopt);
    QTest::mouseClick(window->ExportButton(), Qt::LeftButton);
    EXPECT_TRUE(window->ExportButton()->isEnabled());
    QApplication::processEvents();
    EXPECT_TRUE(log.boxes.empty());

    // A file that cannot be read has nothing to export.
    auto* unreadable = new CChromatogramWindow(&owner, Level(dir.Path() + "/none.stg"));
    EXPECT_FALSE(unreadable->ExportButton()->isEnabled());
}
