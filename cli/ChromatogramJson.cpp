#include "cli/ChromatogramJson.h"

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
    json.BeginObject()
        .Field("sampleName", p.sampleName)
        .Field("extraText1", p.extraText1)
        .Field("extraReal1", p.extraReal1)
        .Field("extraReal2", p.extraReal2)
        .Field("extraReal3", p.extraReal3)
        .Field("dateOnly", Seconds(p.dateOnly))
        .Field("samplingPoint", p.samplingPoint)
        .Field("methodName", p.methodName)
        .Field("extraReal4", p.extraReal4)
        .Field("extraInt1", p.extraInt1)
        .Field("extraInt2", p.extraInt2)
        .Field("isCalibration", p.isCalibration)
        .Field("extraText2", p.extraText2)
        .Field("extraText3", p.extraText3)
        .Field("extraText4", p.extraText4)
        .Field("extraInt3", p.extraInt3)
        .Field("extraReal5", p.extraReal5)
        .Field("extraReal6", p.extraReal6)
        .Field("extraReal7", p.extraReal7)
        .Field("extraReal8", p.extraReal8)
        .Field("extraText5", p.extraText5)
        .Field("extraReal9", p.extraReal9)
        .Field("extraReal10", p.extraReal10)
        .Field("extraReal11", p.extraReal11)
        .Field("extraText6", p.extraText6)
        .Field("extraReal12", p.extraReal12)
        .Field("extraReal13", p.extraReal13)
        .Field("extraReal14", p.extraReal14)
        .Field("dateTime", Seconds(p.dateTime))
        .Field("extraInt4", p.extraInt4)
        .Field("extraText7", p.extraText7)
        .Field("extraText8", p.extraText8)
        .Field("samplingSite", p.samplingSite)
        .Field("extraReal15", p.extraReal15)
        .Field("extraReal16", p.extraReal16)
        .EndObject();
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
