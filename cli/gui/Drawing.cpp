// The drawing services of ostrel-cli-gui (cli/WindowProgram.h), over the chart layers.
#include "chart/CalibrationChart.h"
#include "cli/WindowProgram.h"
#include "core/Calc.h"

namespace {

bool WriteCalibrationChart(const std::string& path, const core::Calibration& c, int width, int height) {
    return WriteCalibrationChartPng(path, c.pointsX, c.pointsY, c.lineX, c.lineY, width, height);
}

const cli::WindowProgramRegistrar registrar{{.writeCalibrationChart = WriteCalibrationChart}};

}  // namespace
