#pragma once

#include "chart/AutoChart.h"

#include <span>
#include <string>

class QImage;

// The calibration chart of the main dialog: a closed frame, blue titles "Отклик детектора"
// (x) and "Количество" (y) in 8-point Arial with Cyrillic, series 0 the calibration line (red,
// straight segments) and series 1 the calibration points (blue diagonal crosses, no line).
// The dialog and ostrel-cli both configure their chart here, so the two draw the same picture.
inline constexpr int kCalibrationLineSeries = 0;
inline constexpr int kCalibrationPointSeries = 1;

// Configures a fresh chart (one without series): axis style, title colour and font, the two
// series and the titles. The control's own switches (zoom, scroll bars) are the dialog's.
void ConfigureCalibrationChart(CAutoChart& chart);

// The calibration chart of the given points and line drawn into a white image of `width` x
// `height` pixels. The arrays must stay alive only for the call. A QGuiApplication must exist.
QImage RenderCalibrationChart(std::span<const float> pointsX, std::span<const float> pointsY,
                              std::span<const float> lineX, std::span<const float> lineY, int width,
                              int height);

// The same written to a PNG file. A program without an application object (ostrel-cli) gets an
// offscreen GUI application for the call. Returns false when the image cannot be made or written.
bool WriteCalibrationChartPng(const std::string& path, std::span<const float> pointsX,
                              std::span<const float> pointsY, std::span<const float> lineX,
                              std::span<const float> lineY, int width, int height);
