#include "cli/ChromatogramJson.h"

#include "chromatogram/PassportFields.h"

#include <type_traits>

namespace cli {

namespace {

std::int64_t Seconds(chromatogram::Time time) { return time.time_since_epoch().count(); }

}  // namespace

void WriteAttributes(JsonWriter& json, const chromatogram::Attributes& attributes) {
    json.BeginArray();
    for (const auto& [key, value] : attributes) json.BeginArray().String(key).String(value).EndArray();
    json.EndArray();
}

void WritePassport(JsonWriter& json, const chromatogram::Passport& p) {
    json.BeginObject();
    chromatogram::VisitPassportFields(
        [&](const char* name, std::int32_t, const auto& field) {
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, chromatogram::Time>)
                json.Field(name, Seconds(field));
            else
                json.Field(name, field);
        },
        p);
    json.EndObject();
}

void WritePeaks(JsonWriter& json, const chromatogram::PeakTable& peaks) {
    json.BeginArray();
    for (const chromatogram::Peak& peak : peaks) {
        json.BeginObject()
            .Field("index", peak.index)
            .Field("name", peak.name)
            .Field("startTime", peak.startTime)
            .Field("endTime", peak.endTime)
            .Field("extraValue", peak.extraValue)
            .Field("extraCode", peak.extraCode)
            .Field("prevInGroup", peak.prevInGroup)
            .Field("nextInGroup", peak.nextInGroup)
            .Field("baselineAtStart", peak.baselineAtStart)
            .Field("baselineAtEnd", peak.baselineAtEnd)
            .Field("area", peak.area)
            .Field("height", peak.height)
            .Field("retentionTime", peak.retentionTime);
        json.Key("attributes");
        WriteAttributes(json, peak.attributes);
        json.EndObject();
    }
    json.EndArray();
}

void WriteChromatogramState(JsonWriter& json, const chromatogram::ChromatogramFile& file) {
    json.Key("signal")
        .BeginObject()
        .Field("count", file.signal.GetSize())
        .Field("startTime", file.signal.startTime)
        .Field("step", file.signal.step)
        .EndObject();
    json.Key("peaks");
    WritePeaks(json, file.peaks);
    json.Key("tableAttributes");
    WriteAttributes(json, file.peaks.GetAttributes());
    json.Key("passport");
    WritePassport(json, file.passport);
}

}  // namespace cli
