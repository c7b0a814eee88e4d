#pragma once

#include "chart/AutoAxes.h"

#include <string>

// The whole chart picture: background, the two axis titles and the plot, composed off the
// surface and copied onto it in one operation.
class CAutoChart : public CAutoAxes {
public:
    platform::Rgb titleColor{0, 0, 255};
    platform::Rgb backColor{255, 255, 255};
    platform::Rgb defaultBackColor{255, 255, 255};
    int titleGap = 2;     // between a title and the labels' room
    int titleMargin = 1;  // between the chart's edge and a title
    bool buffered = true;
    std::string xTitle;  // below the plot, right-aligned; empty: none
    std::string yTitle;  // left of the plot, reading upwards; empty: none
    platform::FontDescription titleFont;

    CAutoChart();

    void SetTitles(std::string x, std::string y);
    void SetTitleFont(const platform::FontDescription& font) { titleFont = font; }
    void SetTitleColor(platform::Rgb color) { titleColor = color; }
    void SetLightBackground(bool light);

    // Draws the whole chart filling `area`. A layout that leaves no room for the plot ends the
    // drawing after the titles; buffered, nothing at all reaches the surface then.
    void Draw(platform::Surface& target, const platform::Rect& area);

private:
    bool Compose(platform::Surface& target, const platform::Rect& outer);
    platform::Size DrawTitles(platform::Surface& target, const platform::Rect& r);
};
