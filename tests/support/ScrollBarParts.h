#pragma once

#include <QRect>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

// Where the parts of a scroll bar lie (arrows, track, thumb), as its style lays them out for its
// present range, position and page, in the bar's own coordinates: for tests that click or look
// at one part.
namespace fixtures {

inline QStyleOptionSlider ScrollBarOption(const QScrollBar& bar) {
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    option.upsideDown = bar.invertedAppearance();
    option.subControls = QStyle::SC_All;
    return option;
}

inline QRect ScrollBarPart(const QScrollBar& bar, QStyle::SubControl part) {
    const QStyleOptionSlider option = ScrollBarOption(bar);
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
}

}  // namespace fixtures
