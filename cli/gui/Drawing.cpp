// The drawing services of ostrel-cli-gui (cli/WindowProgram.h), over the chart layers and the
// protocol's PDF writer.
#include "chart/CalibrationChart.h"
#include "cli/WindowProgram.h"
#include "cli/gui/PngFile.h"
#include "core/Calc.h"
#include "report/ProtocolPdf.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace {

// Drawing needs fonts, so a GUI application: an offscreen one for the call, unless the program
// has one already (or a display was asked for with QT_QPA_PLATFORM). False when the program has
// an application that cannot draw.
bool GuiApplicationForCall(std::unique_ptr<QGuiApplication>& application) {
    if (!QCoreApplication::instance()) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ostrel-cli-gui";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
        return true;
    }
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

std::optional<std::string> WriteCalibrationChart(const std::string& path, const core::Calibration& c, int width,
                                                 int height) {
    std::unique_ptr<QGuiApplication> application;
    if (!GuiApplicationForCall(application)) return std::string("no graphical application to draw the chart with");
    return cli::WritePngFile(path, RenderCalibrationChart(c.pointsX, c.pointsY, c.lineX, c.lineY, width, height));
}

std::optional<std::string> WriteProtocol(const std::string& path, const core::Protocol& protocol) {
    std::unique_ptr<QGuiApplication> application;
    if (!GuiApplicationForCall(application)) return std::string("no graphical application to write the PDF with");
    return WriteProtocolPdf(path, protocol);
}

const cli::WindowProgramRegistrar registrar{
    {.writeCalibrationChart = WriteCalibrationChart, .writeProtocolPdf = WriteProtocol}};

}  // namespace
