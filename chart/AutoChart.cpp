#include "chart/AutoChart.h"

#include <QImage>

#include <algorithm>
#include <utility>

using platform::Rect;
using platform::Size;
using platform::Surface;

namespace {

constexpr platform::Rgb kDarkBackground{50, 50, 50};
constexpr int kUpright = 900;  // escapement of text reading upwards

Rect Shrunk(const Rect& r, const Rect& insets) {
    return {r.left + insets.left, r.top + insets.top, r.right - insets.right, r.bottom - insets.bottom};
}

}  // namespace

CAutoChart::CAutoChart() : titleFont(platform::PointFont("Times New Roman", 10, platform::kDefaultCharset)) {}

void CAutoChart::SetTitles(std::string x, std::string y) {
    xTitle = std::move(x);
    yTitle = std::move(y);
}

void CAutoChart::SetLightBackground(bool light) { backColor = light ? defaultBackColor : kDarkBackground; }

void CAutoChart::Draw(Surface& target, const Rect& area) {
    if (buffered) {
        QImage image = target.CreateCompatibleImage(area.Width(), area.Height());
        bool complete = false;
        if (!image.isNull()) {
            Surface offscreen(image);
            complete = Compose(offscreen, {0, 0, area.Width(), area.Height()});
        }
        if (complete) target.DrawImage(area.left, area.top, image);
    } else {
        Compose(target, area);
    }
    // A drawing that found no room for the plot never reached the end of DrawPlot, which
    // forgets the automatic ranges; forget them here, or the next drawing would show the data
    // of this one.
    xRangeValid = false;
    yRangeValid = false;
}

// Returns whether the plot was drawn.
bool CAutoChart::Compose(Surface& target, const Rect& outer) {
    const platform::FontDescription oldFont = target.SelectFont(titleFont);
    const int h = target.GetTextMetrics().height;
    titleGap = std::max(h / 2 - 2, 1);
    titleMargin = std::max(h / 6, 1);
    target.SelectFont(oldFont);

    target.FillRect(outer, backColor);

    Rect r = outer;
    r.bottom -= titleMargin;
    r.left += titleMargin;
    const Size titles = DrawTitles(target, r);
    r.bottom -= titles.cy + titleGap;
    r.left += titles.cx + titleGap;
    r = Shrunk(r, FixedMargins(target, r));

    // The labels' room depends on the ticks, and the ticks on the plot's size: shrink the plot
    // until the labels of its own ticks fit around it.
    Rect plot = r;
    for (;;) {
        if (plot.IsEmpty()) return false;
        const Rect t = platform::Intersect(Shrunk(r, LabelMargins(target, plot)), plot);
        if (t == plot) break;
        plot = t;
    }
    DrawPlot(target, plot);
    return true;
}

// Returns the room the titles take: (thickness of the y title, height of the x title).
Size CAutoChart::DrawTitles(Surface& target, const Rect& r) {
    Size room;
    target.SetTextColor(titleColor);
    target.SetTransparentBackground(true);
    if (!xTitle.empty()) {
        titleFont.escapement = titleFont.orientation = 0;
        const platform::FontDescription oldFont = target.SelectFont(titleFont);
        target.SetTextAlign(platform::kAlignRight | platform::kAlignBottom);
        target.TextOut(r.right - titleMargin - 1, r.bottom, xTitle);
        room.cy = target.GetTextExtent(xTitle).cy;
        target.SelectFont(oldFont);
    }
    if (!yTitle.empty()) {
        titleFont.escapement = titleFont.orientation = kUpright;
        const platform::FontDescription oldFont = target.SelectFont(titleFont);
        target.SetTextAlign(platform::kAlignRight | platform::kAlignTop);
        target.TextOut(r.left, r.top + titleMargin + 1, yTitle);
        room.cx = target.GetTextExtent(yTitle).cy;
        target.SelectFont(oldFont);
    }
    return room;
}
