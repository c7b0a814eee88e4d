#include "cli/MethodReport.h"

#include "cli/Command.h"
#include "cli/Json.h"

#include <cstdio>

namespace cli {

namespace {

void Coefficient(JsonWriter& json, const char* key, const core::StoredCoefficient& stored) {
    json.Key(key);
    if (stored.fault == core::MethodFault::None)
        json.Double(stored.value);
    else
        json.Null();
}

void OptionalPath(JsonWriter& json, const char* key, const std::string& path) {
    json.Key(key);
    if (path.empty())
        json.Null();
    else
        json.String(path);
}

}  // namespace

int PrintMethodReport(const core::MethodWriteReport& report, bool restore) {
    for (const std::string& notice : report.notices) std::fprintf(stderr, "ostrel-cli: %s\n", notice.c_str());
    JsonWriter json;
    json.BeginObject().Field("patched", report.Written());
    if (restore) OptionalPath(json, "from", report.from);
    Coefficient(json, "old", report.oldCoefficient);
    Coefficient(json, "new", report.newCoefficient);
    OptionalPath(json, "backup", report.backup);
    if (!report.Written()) {
        json.Field("error", core::MethodFaultText(report.fault));
        Failure(core::MethodFaultText(report.fault));  // exit status 1 always says why
    }
    json.EndObject();
    PrintJson(json);
    return report.Written() ? kExitOk : kExitFailed;
}

}  // namespace cli
