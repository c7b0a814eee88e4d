#pragma once

class QAbstractScrollArea;

// Scroll bars whose thumb is the dark part, as the window system the dialogs come from draws
// them. Qt's Fusion style draws the thumb lighter than its track: when the view is only a little
// narrower than its content, the thumb fills nearly the whole track and the short stretch of
// darker track beside it reads as the thumb, standing at the far end from the part shown, so the
// bar seems to move against the view. The thumb drawn here is darker than the track, with an
// outline; a bar with nothing to scroll shows no thumb. Arrows, track and geometry stay the
// application style's: only the thumb's look changes.
namespace platform::gui {

// Gives both scroll bars of `area` that look. One style object serves every area and lives as
// long as the application.
void UseDarkThumbScrollBars(QAbstractScrollArea* area);

}  // namespace platform::gui
