#include "core/FileReplace.h"
#include "core/Protocol.h"
#include "core/ProtocolCsv.h"

#include "support/PdfText.h"
#include "support/SettingsHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <regex>

namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- The level table as CSV -------------------------------------------------------------------

core::Protocol TrickyProtocol() {
    core::Protocol p;
    core::ProtocolLevel& blank = p.levels[0];
    blank.fraction = 0;
    blank.file = core::LevelFile::Read;
    blank.path = "/data/run, \"first\".stg";
    blank.fileName = "run, \"first\".stg";
    blank.sampleName = "Холостая\r\nпроба";
    blank.acquired = std::chrono::sys_seconds(std::chrono::seconds(1710408600));
    blank.ethanolArea = 0.1 + 0.2;  // 0.30000000000000004: every digit must survive
    blank.standardArea = 1e-300;
    blank.ethanolAmount = 0;
    blank.standardAmount = 4.0333333333333334e-07;
    blank.coefficient = kNaN;
    blank.deviation = kNaN;
    blank.sha256 = std::string(64, 'a');
    core::ProtocolLevel& formula = p.levels[1];
    formula.fraction = 0.05;
    formula.file = core::LevelFile::Read;
    formula.path = "/data/=cmd.stg";
    formula.fileName = "=cmd.stg";
    formula.sampleName = "=HYPERLINK(\"http://x\")";
    formula.ethanolArea = 93.29712345678901;
    formula.standardArea = 995.3;
    formula.ethanolAmount = 3.650742424242424e-06;
    formula.standardAmount = 4.0333333333333334e-07;
    formula.coefficient = 99.88512;
    formula.deviation = -0.7399;
    core::ProtocolLevel& unreadable = p.levels[2];
    unreadable.fraction = 0.1;
    unreadable.file = core::LevelFile::Unreadable;
    unreadable.path = "/data/broken.stg";
    unreadable.fileName = "broken.stg";
    for (int k = 2; k < 5; ++k) {
        core::ProtocolLevel& level = p.levels[static_cast<std::size_t>(k)];
        level.fraction = core::CalibrationTable::kFractions[static_cast<std::size_t>(k)];
        level.ethanolArea = level.standardArea = level.ethanolAmount = level.standardAmount = kNaN;
        level.coefficient = level.deviation = kNaN;
    }
    return p;
}

double ReadBack(const std::string& field) {
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    EXPECT_TRUE(error == std::errc() && end == field.data() + field.size()) << "'" << field << "'";
    return value;
}

TEST(ProtocolCsv, ReadsBackAsTheSameTextsAndBitForBitTheSameNumbers) {
    const core::Protocol p = TrickyProtocol();
    const std::string csv = core::LevelTableCsv(p);
    EXPECT_EQ(csv.find("\xEF\xBB\xBF"), std::string::npos) << "no byte order mark";
    const std::vector<std::vector<std::string>> rows = fixtures::ParseCsv(csv);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"fraction", "file", "path", "fileName", "sampleName", "acquired",
                                                 "ethanolArea", "standardArea", "ethanolAmount", "standardAmount",
                                                 "coefficient", "deviation", "sha256"}));
    for (const auto& row : rows) ASSERT_EQ(row.size(), rows[0].size());

    const std::vector<std::string>& blank = rows[1];
    EXPECT_EQ(blank[1], "read");
    EXPECT_EQ(blank[2], "/data/run, \"first\".stg");
    EXPECT_EQ(blank[3], "run, \"first\".stg");
    EXPECT_EQ(blank[4], "Холостая\r\nпроба");
    EXPECT_TRUE(std::regex_match(blank[5], std::regex(R"(2024-03-1[34]T\d\d:\d\d:00[+-]\d\d:\d\d)"))) << blank[5];
    EXPECT_EQ(blank[10], "") << "a coefficient that does not exist";
    EXPECT_EQ(blank[11], "");
    EXPECT_EQ(blank[12], std::string(64, 'a'));

    // Every figure reads back as the very double written, and in the C locale's notation.
    const core::ProtocolLevel& levels = p.levels[0];
    const double written[] = {levels.ethanolArea, levels.standardArea, levels.ethanolAmount, levels.standardAmount};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(ReadBack(blank[static_cast<std::size_t>(6 + i)])),
                  std::bit_cast<std::uint64_t>(written[i]))
            << blank[static_cast<std::size_t>(6 + i)];
    const core::ProtocolLevel& l1 = p.levels[1];
    for (const auto& [field, value] : {std::pair{rows[2][0], l1.fraction}, {rows[2][6], l1.ethanolArea},
                                       {rows[2][8], l1.ethanolAmount}, {rows[2][10], l1.coefficient},
                                       {rows[2][11], l1.deviation}})
        EXPECT_EQ(ReadBack(field), value) << field;

    // A text a spreadsheet would run as a formula is defused.
    EXPECT_EQ(rows[2][3], "'=cmd.stg");
    EXPECT_EQ(rows[2][4], "'=HYPERLINK(\"http://x\")");
    EXPECT_EQ(rows[2][2], "/data/=cmd.stg") << "only a leading sign counts";
    EXPECT_EQ(rows[2][5], "") << "no acquisition time";

    EXPECT_EQ(rows[3][1], "unreadable");
    EXPECT_EQ(rows[3][12], "");
    EXPECT_EQ(rows[4][1], "none");
    for (std::size_t c = 2; c < rows[4].size(); ++c) EXPECT_EQ(rows[4][c], "") << rows[0][c];
}

// ---- Writing whole or not at all --------------------------------------------------------------

std::vector<std::string> FolderListing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileReplace, WritesANewFileOrReplacesAnOldOneWhole) {
    fixtures::TempDir dir;
    const std::string path = dir.Path() + "/протокол.csv";
    ASSERT_EQ(core::ReplaceFileContents(path, "first"), std::nullopt);
    ASSERT_EQ(core::ReplaceFileContents(path, "second, longer"), std::nullopt);
    EXPECT_EQ(fixtures::ReadFileBytes(path), "second, longer");
    EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"протокол.csv"}) << "no temporary file left";
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "a document's permissions, not a temporary file's";
}

// Runs `write` as an unprivileged account when this process is root (which may write anywhere),
// in a child process; its result comes back as the exit status (0: an error was reported).
bool FailsWithoutPrivileges(const std::function<bool()>& reportsError) {
    if (::geteuid() != 0) return reportsError();
    const pid_t child = ::fork();
    if (child == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        const uid_t uid = nobody ? nobody->pw_uid : 65534;
        const gid_t gid = nobody ? nobody->pw_gid : 65534;
        if (::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(2);
        ::_exit(reportsError() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileReplace, AnUnwritablePathIsAnErrorThatLeavesEveryFileAsItWas) {
    fixtures::TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);  // the unprivileged account may enter, not write
    const std::string regular = dir.WriteFile("regular", "kept");
    const std::string readOnly = dir.MakeFolder("read-only");
    const std::string old = dir.WriteFile("read-only/old.csv", "old");
    ::chmod(readOnly.c_str(), 0555);
    ::chmod(old.c_str(), 0644);

    struct Case {
        const char* what;
        std::string path;
        const char* reason;
        bool unprivileged;
    };
    const Case cases[] = {
        {"below a regular file", regular + "/protocol.csv", "Not a directory", false},
        {"a folder's name", readOnly, "Is a directory", false},
        {"in a missing folder", dir.Path() + "/missing/protocol.csv", "No such file or directory", false},
        {"no name at all", "", "no file name", false},
        {"a new file in a folder the user may not write", readOnly + "/new.csv", "Permission denied", true},
        {"over a file in such a folder", old, "Permission denied", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reportsError = [&c] {
            const std::optional<std::string> failure = core::ReplaceFileContents(c.path, "new");
            return failure && failure->find(c.reason) != std::string::npos && failure->find(c.path) != std::string::npos;
        };
        EXPECT_TRUE(c.unprivileged ? FailsWithoutPrivileges(reportsError) : reportsError());
    }
    EXPECT_EQ(FolderListing(dir.Path()), (std::vector<std::string>{"read-only", "regular"}));
    EXPECT_EQ(FolderListing(readOnly), std::vector<std::string>{"old.csv"});
    EXPECT_EQ(fixtures::ReadFileBytes(regular), "kept");
    EXPECT_EQ(fixtures::ReadFileBytes(old), "old");
}

// ---- Content ----------------------------------------------------------------------------------

TEST(Protocol, OriginNamesTheLabTheOperatorAndTheMomentWithoutWritingSettings) {
    fixtures::SettingsHome home;
    EXPECT_EQ(core::ReadProtocolOrigin().labName, "") << "no machine hive";
    home.WriteMachineHive(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora]\n\"LabName\"=\"Лаборатория № 3\"\n");
    const auto before = std::chrono::system_clock::now();
    const core::ProtocolOrigin origin = core::ReadProtocolOrigin();
    EXPECT_EQ(origin.labName, "Лаборатория № 3");
    const passwd* account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(origin.operatorLogin, account->pw_name);
    EXPECT_EQ(origin.operatorName, std::string(account->pw_gecos).substr(0, std::string(account->pw_gecos).find(',')));
    EXPECT_LE(std::chrono::abs(origin.madeAt - std::chrono::time_point_cast<std::chrono::seconds>(before)),
              std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(home.UserHive())) << "reading the lab's name creates no key";
}

TEST(Protocol, FiguresThatDoNotExistAreDashesAndTheDefaultNameIsAFileName) {
    EXPECT_EQ(core::ProtocolFigure(kNaN), "—");
    EXPECT_EQ(core::ProtocolFigure(std::numeric_limits<double>::infinity()), "—");
    EXPECT_EQ(core::ProtocolFigure(3.650742424242424e-06), "3.65074e-06");
    EXPECT_EQ(core::ProtocolDeviation(0.8455), "+0.85");
    EXPECT_EQ(core::ProtocolDeviation(-0.001), "0.00");
    EXPECT_EQ(core::ProtocolDeviation(kNaN), "—");

    core::Protocol p;
    p.methodTitle = "Этанол: 2/3 \"крепкий\"";
    p.origin.madeAt = std::chrono::sys_seconds(std::chrono::seconds(1710408600));
    const std::string name = core::DefaultProtocolFileName(p);
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(Протокол градуировки Этанол_ 2_3 _крепкий_ 2024-03-1[34] \d\d-\d\d\.pdf)")))
        << name;
}

}  // namespace
