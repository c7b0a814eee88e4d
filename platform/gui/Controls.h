#pragma once

#include <string>

class QComboBox;
class QWidget;

// The few behaviours of the Windows common controls the dialogs rely on and Qt's widgets do not
// have as such: sorted insertion and case-insensitive search in a drop-down list, suspended
// redrawing while a control is filled, and the wait cursor.
namespace platform::gui {

// A sorted drop-down list keeps its items in order as they are added (a template's Sorted style).
void SetSortedInsertion(QComboBox* combo, bool sorted);
bool HasSortedInsertion(const QComboBox* combo);

// Adds an item: in a sorted list at its place under the case-insensitive comparison of texts,
// after the items that compare equal to it; otherwise at the end. Returns its index.
int AddString(QComboBox* combo, const std::string& text);

// Index of the first item equal to `text` ignoring case, or -1.
int FindStringExact(const QComboBox* combo, const std::string& text);

// Text of the selected item, or "" when none is selected.
std::string SelectedText(const QComboBox* combo);

// Suspends the redrawing of a widget for the lifetime of the object.
class RedrawSuspended {
public:
    explicit RedrawSuspended(QWidget* widget);
    ~RedrawSuspended();
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    QWidget* widget_;
    bool wasEnabled_;
};

// Shows the wait cursor for the lifetime of the object; nests.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace platform::gui
