#include "support/DemoProfile.h"

#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "support/StgBuilder.h"

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

namespace fixtures {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Chromatograms

struct Level {
    const char* fraction;  // as the operator sees it, and in the file name
    double ethanolArea;
    double standardArea;
};

// Ethanol areas grow with the added fraction (about 1800 per unit of fraction above the blank's
// small peak); the internal standard stays near 1000, with the scatter of real injections.
constexpr Level kLevels[] = {
    {"0", 3.1, 1004.0},
    {"0.05", 93.4, 996.5},
    {"0.1", 181.7, 1001.2},
    {"0.2", 366.0, 1007.9},
    {"0.5", 897.3, 993.8},
};

// Times in minutes, signal in millivolts: an eight-minute run sampled every 0.3 seconds.
constexpr double kStep = 0.005;
constexpr int kSamples = 1600;
// 2024-03-14 09:30:00 UTC, and that day's midnight; the levels were recorded 7 seconds apart, so
// the open dialog's joint selection (under 5 seconds) keeps them apart.
constexpr std::int64_t kFirstRecorded = 1710408600;
constexpr std::int64_t kDay = 1710374400;
constexpr std::int64_t kSecondsBetweenRuns = 7;
constexpr std::int64_t kSecondsPerDay = 86400;

ChromatogramFixture MakeRun(std::uint32_t seed, double ethanolArea, double standardArea, double impurityArea) {
    SyntheticRun run;
    run.step = kStep;
    run.sampleCount = kSamples;
    run.baseline = 5.0;
    run.drift = 0.15;
    run.noise = 0.02;
    run.seed = seed;
    run.peaks = {
        {"", 1.42, 0.025, impurityArea},  // an unnamed early peak (the solvent's impurity)
        {"этанол", 2.35, 0.03, ethanolArea},
        {"изопропанол", 3.10, 0.035, standardArea},
        {"", 4.62, 0.05, 12.5},  // an unnamed late peak
    };
    return Synthesize(run);
}

ChromatogramFixture MakeLevel(const Level& level, int index) {
    ChromatogramFixture c = MakeRun(1000 + static_cast<std::uint32_t>(index), level.ethanolArea, level.standardArea,
                                    35.0 + index);
    PassportFixture& p = c.passport;
    p.sampleName = std::string("Градуировка ") + level.fraction;
    p.methodName = "Этанол";
    p.samplingSite = "Лаборатория";
    p.samplingPoint = "Градуировочный раствор";
    p.isCalibration = 1;
    p.dateOnly = kDay;
    p.dateTime = kFirstRecorded + index * kSecondsBetweenRuns;
    return c;
}

// Two samples analysed the next day with the same method, so that the open dialog's type filter
// has something to tell apart.
struct Analysis {
    const char* file;
    const char* sample;
    const char* point;
    double ethanolArea;
};

constexpr Analysis kAnalyses[] = {
    {"analysis-1", "Спирт-сырец, партия 17", "Резервуар 2", 512.8},
    {"analysis-2", "Водно-спиртовая смесь", "Купажный чан", 402.6},
};

ChromatogramFixture MakeAnalysis(const Analysis& analysis, int index) {
    ChromatogramFixture c = MakeRun(2000 + static_cast<std::uint32_t>(index), analysis.ethanolArea, 1000.4, 20.0);
    PassportFixture& p = c.passport;
    p.sampleName = analysis.sample;
    p.methodName = "Этанол";
    p.samplingSite = "Цех №1";
    p.samplingPoint = analysis.point;
    p.isCalibration = 0;
    p.dateOnly = kDay + kSecondsPerDay;
    p.dateTime = kFirstRecorded + kSecondsPerDay + 3600 + index * 900;
    return c;
}

// ---------------------------------------------------------------------------------------------
// Methods: the data system's binary method files. Only the ethanol record's layout matters to the
// program (coefficient double at +31, calibrated flag at +43 from the length byte of its name);
// the rest is made to look like what an instrument method holds.

struct Component {
    const char* name;
    double retentionTime;  // minutes
    double window;         // minutes either side
    std::int32_t group;
    double coefficient;
    std::int32_t unit;        // 1: % by volume, 2: mg/dm³
    std::int32_t calibrated;  // set to 1 by the calibration program
    double detectionLimit;
};

struct Method {
    const char* title;
    const char* description;
    double columnTemperature, injectorTemperature, detectorTemperature, carrierFlow;
    std::vector<Component> components;
};

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = {
        {"Этанол",
         "Объёмная доля этилового спирта, внутренний стандарт изопропанол",
         75.0,
         180.0,
         200.0,
         25.0,
         {{"этанол", 2.35, 0.15, 1, 0.0, 1, 0, 0.001}, {"изопропанол", 3.10, 0.15, 2, 1.0, 1, 1, 0.001}}},
        {"Метанол",
         "Объёмная доля метилового спирта",
         70.0,
         180.0,
         200.0,
         25.0,
         {{"метанол", 1.85, 0.12, 1, 0.0, 1, 0, 0.0005}, {"изопропанол", 3.10, 0.15, 2, 1.0, 1, 1, 0.001}}},
        {"Сивушные масла",
         "Массовая концентрация сивушных масел",
         80.0,
         200.0,
         220.0,
         30.0,
         {{"пропанол-1", 3.62, 0.15, 1, 0.0, 2, 0, 0.5},
          {"изобутанол", 4.28, 0.18, 1, 0.0, 2, 0, 0.5},
          {"изоамилол", 5.96, 0.2, 1, 0.0, 2, 0, 0.5},
          {"изопропанол", 3.10, 0.15, 2, 1.0, 2, 1, 0.5}}},
    };
    return methods;
}

constexpr std::uint32_t kMethodMagic = 0x4D544456;  // "VDTM"
constexpr std::int32_t kMethodVersion = 3;

std::string EncodeMethod(const Method& m, std::size_t* ethanolOffset = nullptr) {
    ArchiveWriter out;
    out.UInt32(kMethodMagic).Int32(kMethodVersion).Text(m.title).Text(m.description);
    out.Time(kDay - 30 * kSecondsPerDay);  // created a month before the calibration
    out.Double(m.columnTemperature).Double(m.injectorTemperature).Double(m.detectorTemperature).Double(m.carrierFlow);
    out.Int32(480).Int32(2);  // run time in seconds, detector channel
    out.Int32(static_cast<std::int32_t>(m.components.size()));
    for (const Component& c : m.components) {
        if (ethanolOffset && std::string_view(c.name) == "этанол") *ethanolOffset = out.Data().size();
        out.Text(c.name);
        out.Double(c.retentionTime).Double(c.window).Int32(c.group).Int32(0);
        out.Double(c.coefficient).Int32(c.unit).Int32(c.calibrated).Double(c.detectionLimit);
    }
    out.Int32(0x0107).Text("ГОСТ 25742.4-83");  // report flags and the standard the report cites
    return out.Data();
}

// ---------------------------------------------------------------------------------------------
// Hives

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string StringData(const std::string& text) { return text + '\0'; }

template <typename T>
std::string LittleEndian(T value) {
    std::string data;
    for (std::size_t i = 0; i < sizeof(T); ++i) data += static_cast<char>((value >> (8 * i)) & 0xFF);
    return data;
}

std::string DoubleData(double value) { return LittleEndian(std::bit_cast<std::uint64_t>(value)); }
std::string DwordData(std::uint32_t value) { return LittleEndian(value); }

// Points the settings store at the profile for the lifetime of the object.
class StoreRedirected {
public:
    explicit StoreRedirected(const std::string& userConfig) {
        if (const char* value = std::getenv("XDG_CONFIG_HOME")) savedHome_ = value;
        savedKey_ = platform::RegistryKeyName();
        ::setenv("XDG_CONFIG_HOME", userConfig.c_str(), 1);
        platform::SetRegistryKeyName("Tarnwick");
    }
    ~StoreRedirected() {
        if (savedHome_)
            ::setenv("XDG_CONFIG_HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        platform::SetRegistryKeyName(savedKey_);
    }
    StoreRedirected(const StoreRedirected&) = delete;
    StoreRedirected& operator=(const StoreRedirected&) = delete;

private:
    std::optional<std::string> savedHome_;
    std::string savedKey_;
};

void Set(const platform::RegistryKey& key, const char* name, std::uint32_t type, const std::string& data) {
    if (!key.Set(name, type, data)) throw std::runtime_error(std::string("cannot store the value ") + name);
}

platform::RegistryKey CreateKey(const std::string& path) {
    std::optional<platform::RegistryKey> key = platform::RegistryKey::Create(platform::RootKey::CurrentUser, path);
    if (!key) throw std::runtime_error("cannot create the key " + path);
    return *key;
}

void WriteUserHive(const DemoProfile& p) {
    const StoreRedirected redirected(p.userConfig);
    std::error_code ignored;
    fs::remove(platform::UserHivePath(), ignored);  // start afresh: the settings of an earlier run go

    const platform::RegistryKey application = CreateKey("Software\\Tarnwick\\Velmora");
    Set(application, "MethodPath", platform::REG_SZ, StringData(p.methods));
    Set(application, "OpenDirType", platform::REG_DWORD, DwordData(0));  // root mode, below OpenPath
    Set(application, "LastOpenPath1", platform::REG_SZ, StringData(p.chromatograms));
    Set(application, "LastOpenPath2", platform::REG_SZ, StringData(p.chromatograms));

    const platform::RegistryKey ostrel = CreateKey("Software\\Tarnwick\\Velmora\\Ostrel");
    Set(ostrel, "nav", platform::REG_BINARY, DoubleData(p.nav));
    Set(ostrel, "nav2", platform::REG_BINARY, DoubleData(p.nav2));
    Set(ostrel, "dolya", platform::REG_BINARY, DoubleData(p.dolya));
    Set(ostrel, "mtd", platform::REG_SZ, StringData(p.methodTitle));
    for (std::size_t i = 0; i < p.levelPaths.size(); ++i)
        Set(ostrel, std::to_string(i + 1).c_str(), platform::REG_SZ, StringData(p.levelPaths[i]));
}

// The machine hive is never written by the store (it is read only there), so it is made here.
void WriteMachineHive(const DemoProfile& p) {
    platform::RegistryHive hive;
    const std::vector<std::string> path = {"HKEY_LOCAL_MACHINE", "Software", "Tarnwick", "Velmora"};
    platform::RegistryHive::Key* key = hive.Create(path);
    if (!key) throw std::runtime_error("cannot build the machine hive");
    key->values["OpenPath"] = platform::RegistryValue{platform::REG_SZ, StringData(p.folder)};
    key->values["LabName"] = platform::RegistryValue{platform::REG_SZ, StringData(kDemoLabName)};
    WriteBytes(fs::path(p.machineConfig) / "Tarnwick" / "registry.reg", hive.Serialize());
}

}  // namespace

std::string DemoEthanolMethod() { return EncodeMethod(Methods().front()); }

std::size_t DemoEthanolRecordOffset() {
    std::size_t offset = 0;
    EncodeMethod(Methods().front(), &offset);
    return offset;
}

DemoProfile WriteDemoProfile(const std::string& folder) {
    DemoProfile p;
    p.folder = fs::absolute(folder).lexically_normal().string();
    while (p.folder.size() > 1 && p.folder.back() == '/') p.folder.pop_back();
    p.chromatograms = p.folder + "/chromatograms";
    p.methods = p.folder + "/methods";
    p.userConfig = p.folder + "/config";
    p.machineConfig = p.folder + "/machine";
    // Masses in grams; the mass fraction of the ethanol used, in percent.
    p.nav = 1.5028;
    p.nav2 = 0.7986;
    p.dolya = 96.2;
    p.methodTitle = "Этанол";

    for (int i = 0; i < static_cast<int>(std::size(kLevels)); ++i) {
        p.levelPaths[static_cast<std::size_t>(i)] = p.chromatograms + "/calibration-" + kLevels[i].fraction + ".stg";
        WriteBytes(p.levelPaths[static_cast<std::size_t>(i)], BuildStg(MakeLevel(kLevels[i], i)));
    }
    for (int i = 0; i < static_cast<int>(std::size(kAnalyses)); ++i) {
        p.analysisPaths.push_back(p.chromatograms + "/" + kAnalyses[i].file + ".stg");
        WriteBytes(p.analysisPaths.back(), BuildStg(MakeAnalysis(kAnalyses[i], i)));
    }
    for (const Method& m : Methods()) WriteBytes(p.MethodFile(m.title), EncodeMethod(m));
    WriteUserHive(p);
    WriteMachineHive(p);
    return p;
}

}  // namespace fixtures
