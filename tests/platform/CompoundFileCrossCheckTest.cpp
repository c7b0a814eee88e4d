// The fixture writer and the reader are checked against independent implementations of the
// format from Debian (python3-olefile, libgsf's gsf tool), so the two cannot share a misreading.
#include "platform/CompoundFile.h"

#include "support/CompoundFileWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

using fixtures::CompoundFileOptions;
using fixtures::CompoundFileWriter;

struct Output {
    int status = -1;
    std::string text;
};

Output RunCommand(const std::string& command) {
    Output out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, n);
    out.status = ::pclose(pipe);
    return out;
}

bool HaveOlefile() { return RunCommand("/usr/bin/python3 -c 'import olefile' 2>/dev/null").status == 0; }
bool HaveGsf() { return RunCommand("gsf --version >/dev/null 2>&1").status == 0; }

std::string Pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 197 + seed * 31 + i / 509) & 0xFF);
    return out;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Path (storages joined by '/') to content.
using Streams = std::map<std::string, std::string>;

const Streams kStreams = {
    {"Raw_data", Pattern(10000, 1)},   {"Time", Pattern(12, 2)},   {"Below_cutoff", Pattern(4095, 3)},
    {"At_cutoff", Pattern(4096, 4)},   {"Empty", ""},              {"Кириллица", Pattern(700, 5)},
    {"Data/Inner", Pattern(50, 6)},
};

const std::pair<const char*, CompoundFileOptions> kVariants[] = {
    {"v3.stg", {.majorVersion = 3}},
    {"v4.stg", {.majorVersion = 4}},
    {"difat.stg", {.majorVersion = 3, .minimumFatSectors = 237}},
};

std::string WriteFixture(const fixtures::TempDir& dir, const char* name, const CompoundFileOptions& options) {
    CompoundFileWriter writer;
    for (const auto& [path, bytes] : kStreams) writer.AddStream(path, bytes);
    const std::string path = dir.Path() + "/" + name;
    EXPECT_TRUE(writer.WriteTo(path, options));
    return path;
}

TEST(CompoundFileCrossCheck, OlefileReadsWhatTheWriterWrites) {
    if (!HaveOlefile()) GTEST_SKIP() << "python3-olefile is not installed (scripts/install-deps.sh)";
    fixtures::TempDir dir;
    // Strictest setting: olefile raises on anything it finds even potentially wrong.
    const std::string script =
        "import olefile, sys\n"
        "o = olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_POTENTIAL)\n"
        "for p in o.listdir(streams=True, storages=False):\n"
        "    print('/'.join(p) + '\\t' + o.openstream(p).read().hex())\n";
    for (const auto& [name, options] : kVariants) {
        const std::string path = WriteFixture(dir, name, options);
        const Output out = RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 -c \"" + script + "\" '" + path + "' 2>&1");
        ASSERT_EQ(out.status, 0) << name << ": " << out.text;
        Streams seen;
        std::istringstream lines(out.text);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos) << line;
            seen[line.substr(0, tab)] = line.substr(tab + 1);
        }
        Streams expected;
        for (const auto& [p, bytes] : kStreams) expected[p] = Hex(bytes);
        EXPECT_EQ(seen, expected) << name;
    }
}

TEST(CompoundFileCrossCheck, GsfReadsWhatTheWriterWrites) {
    if (!HaveGsf()) GTEST_SKIP() << "libgsf-bin is not installed (scripts/install-deps.sh)";
    fixtures::TempDir dir;
    for (const auto& [name, options] : kVariants) {
        const std::string path = WriteFixture(dir, name, options);
        const Output list = RunCommand("gsf list '" + path + "' 2>&1");
        ASSERT_EQ(list.status, 0) << list.text;
        // Lines "f <size> <path>" for streams ("d ..." for storages), after the file name.
        std::map<std::string, std::string> sizes;
        std::istringstream lines(list.text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string kind, size, path;
            if (fields >> kind >> size >> path && kind == "f") sizes[path] = size;
        }
        std::map<std::string, std::string> expected;
        for (const auto& [p, bytes] : kStreams) expected[p] = std::to_string(bytes.size());
        EXPECT_EQ(sizes, expected) << name << ":\n" << list.text;
        for (const auto& [p, bytes] : kStreams) {
            const Output cat = RunCommand("gsf cat '" + path + "' '" + p + "'");
            EXPECT_EQ(cat.status, 0) << name << " " << p;
            EXPECT_TRUE(cat.text == bytes) << name << " " << p;
        }
    }
}

TEST(CompoundFileCrossCheck, ReaderReadsWhatGsfWrites) {
    if (!HaveGsf()) GTEST_SKIP() << "libgsf-bin is not installed (scripts/install-deps.sh)";
    fixtures::TempDir dir;
    const Streams inputs = {{"Raw_data", Pattern(10000, 7)}, {"Passport", Pattern(300, 8)}, {"Этанол", "hello"}};
    std::string command = "cd '" + dir.Path() + "' && gsf createole out.stg";
    for (const auto& [name, bytes] : inputs) {
        dir.WriteFile(name, bytes);
        command += " '" + name + "'";
    }
    ASSERT_EQ(RunCommand(command + " >/dev/null 2>&1").status, 0);
    // createole reports success even for an input it skipped: make sure all went in.
    const Output list = RunCommand("gsf list '" + dir.Path() + "/out.stg'");
    for (const auto& [name, bytes] : inputs) ASSERT_NE(list.text.find(name), std::string::npos) << list.text;

    platform::CompoundError error = platform::CompoundError::None;
    auto file = platform::CompoundFile::Open(dir.Path() + "/out.stg", &error);
    ASSERT_TRUE(file) << static_cast<int>(error);
    for (const auto& [name, bytes] : inputs) {
        auto stream = file->OpenStream(name == "Этанол" ? "ЭТАНОЛ" : name);
        ASSERT_TRUE(stream) << name;
        std::string read(stream->Size(), '\0');
        stream->Rewind();
        EXPECT_EQ(stream->Read(read.data(), read.size()), bytes.size()) << name;
        EXPECT_TRUE(read == bytes) << name;
    }
}

}  // namespace
