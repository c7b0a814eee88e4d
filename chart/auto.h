#pragma once

// The chart layers in one include: frame, series, axes and chart.
#include "chart/AutoChart.h"
