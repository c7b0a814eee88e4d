// The netCDF export's parts that the end-to-end readers (tests/cli/ExportCommandTest.cpp) do not
// reach: the template's time stamps in any zone, and runs with no peaks or no samples.
#include "core/AndiExport.h"

#include "support/TimeZone.h"

#include <gtest/gtest.h>

#include <netcdf.h>
#include <netcdf_mem.h>

#include <string>
#include <vector>

namespace {

// The names of the global attributes and variables of a netCDF file held in memory, and the
// length of its dimension `dimension` (-1 when absent).
struct Contents {
    std::string completeness;
    std::vector<std::string> variables;
    long long points = -1;
};

Contents Open(std::string bytes) {
    Contents c;
    int id = -1;
    if (nc_open_mem("export.cdf", NC_NOWRITE, bytes.size(), bytes.data(), &id) != NC_NOERR) return c;
    std::size_t length = 0;
    if (nc_inq_attlen(id, NC_GLOBAL, "dataset_completeness", &length) == NC_NOERR) {
        c.completeness.resize(length);
        nc_get_att_text(id, NC_GLOBAL, "dataset_completeness", c.completeness.data());
    }
    int count = 0;
    nc_inq_nvars(id, &count);
    for (int v = 0; v < count; ++v) {
        char name[NC_MAX_NAME + 1] = {};
        nc_inq_varname(id, v, name);
        c.variables.emplace_back(name);
    }
    int dimension = -1;
    if (nc_inq_dimid(id, "point_number", &dimension) == NC_NOERR && nc_inq_dimlen(id, dimension, &length) == NC_NOERR)
        c.points = static_cast<long long>(length);
    nc_close(id);
    return c;
}

}  // namespace

TEST(AndiExport, TimeStampsAreLocalWithTheirOffset) {
    const chromatogram::Time moment{std::chrono::seconds(1710408627)};  // 2024-03-14 09:30:27 UTC
    struct Case {
        const char* zone;
        const char* stamp;
    };
    for (const Case& c : {Case{"UTC0", "20240314093027+0000"}, Case{"MSK-3", "20240314123027+0300"},
                          Case{"EST5", "20240314043027-0500"}, Case{"IST-5:30", "20240314150027+0530"}}) {
        const fixtures::TimeZone zone(c.zone);
        EXPECT_EQ(core::AndiTimeStamp(moment), c.stamp) << c.zone;
    }
}

// A run without peaks is category 1 alone, without peak variables; one without samples still
// makes a file every reader opens.
TEST(AndiExport, RunsWithoutPeaksOrSamples) {
    chromatogram::ChromatogramFile file;
    file.path = "/data/пустой.stg";
    file.signal.samples = {1, 2, 3};
    const core::AndiExportOptions options{chromatogram::Time{std::chrono::seconds(1710408627)}};
    std::string bytes;
    ASSERT_EQ(core::MakeAndiFile(file, options, bytes), std::nullopt);
    Contents c = Open(bytes);
    EXPECT_EQ(c.completeness, "C1");
    EXPECT_EQ(c.points, 3);
    EXPECT_EQ(c.variables, (std::vector<std::string>{"error_log", "actual_sampling_interval", "actual_delay_time",
                                                      "actual_run_time_length", "detector_minimum_value",
                                                      "detector_maximum_value", "ordinate_values"}));

    file.signal.samples.clear();
    ASSERT_EQ(core::MakeAndiFile(file, options, bytes), std::nullopt);
    c = Open(bytes);
    EXPECT_EQ(c.points, 0);
    EXPECT_EQ(c.variables, (std::vector<std::string>{"error_log", "actual_sampling_interval", "actual_delay_time",
                                                      "actual_run_time_length", "ordinate_values"}))
        << "no detector range without a sample";
}
