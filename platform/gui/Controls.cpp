#include "platform/gui/Controls.h"

#include "platform/Text.h"

#include <QApplication>
#include <QComboBox>
#include <QVariant>

namespace platform::gui {

namespace {
constexpr const char* kSortedProperty = "ostrelSorted";

std::string ItemText(const QComboBox* combo, int index) { return combo->itemText(index).toStdString(); }
}  // namespace

void SetSortedInsertion(QComboBox* combo, bool sorted) { combo->setProperty(kSortedProperty, sorted); }

bool HasSortedInsertion(const QComboBox* combo) { return combo->property(kSortedProperty).toBool(); }

int AddString(QComboBox* combo, const std::string& text) {
    int index = combo->count();
    if (HasSortedInsertion(combo)) {
        // Upper bound by binary search: the first item that compares greater than the text.
        int low = 0, high = combo->count();
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (CompareIgnoreCase(ItemText(combo, middle), text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    combo->insertItem(index, QString::fromStdString(text));
    return index;
}

int FindStringExact(const QComboBox* combo, const std::string& text) {
    for (int i = 0; i < combo->count(); ++i)
        if (EqualIgnoreCase(ItemText(combo, i), text)) return i;
    return -1;
}

std::string SelectedText(const QComboBox* combo) {
    const int index = combo->currentIndex();
    return index < 0 ? std::string() : ItemText(combo, index);
}

RedrawSuspended::RedrawSuspended(QWidget* widget) : widget_(widget), wasEnabled_(widget->updatesEnabled()) {
    widget_->setUpdatesEnabled(false);
}

RedrawSuspended::~RedrawSuspended() { widget_->setUpdatesEnabled(wasEnabled_); }

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace platform::gui
