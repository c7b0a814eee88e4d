#include "platform/gui/ScrollBarStyle.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionSlider>

namespace platform::gui {

namespace {

class DarkThumbStyle : public QProxyStyle {
public:
    // A fresh instance of the application's style underneath: a proxy takes its base style over.
    DarkThumbStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider track(*bar);
        track.subControls &= ~SC_ScrollBarSlider;
        QProxyStyle::drawComplexControl(control, &track, painter, widget);
        if (!(bar->subControls & SC_ScrollBarSlider) || bar->maximum <= bar->minimum) return;
        const QRect thumb = subControlRect(control, bar, SC_ScrollBarSlider, widget);
        if (thumb.width() < 2 || thumb.height() < 2) return;
        const bool active = (bar->activeSubControls & SC_ScrollBarSlider) &&
                            (bar->state & (State_Sunken | State_MouseOver));
        painter->save();
        painter->setPen(bar->palette.color(QPalette::Shadow));
        painter->setBrush(bar->palette.color(active ? QPalette::Dark : QPalette::Mid));
        painter->drawRect(thumb.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

QStyle* DarkThumbScrollBarStyle() {
    static QStyle* style = [] {
        auto* s = new DarkThumbStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

}  // namespace

void UseDarkThumbScrollBars(QAbstractScrollArea* area) {
    area->horizontalScrollBar()->setStyle(DarkThumbScrollBarStyle());
    area->verticalScrollBar()->setStyle(DarkThumbScrollBarStyle());
}

}  // namespace platform::gui
