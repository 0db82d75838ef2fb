// Texts that the lists of blocked windows build from records: the main window's list and the
// rule list name a window's screen corner alike. (Counts are filled in by
// ui/framework/FormatText.)
#pragma once

namespace winhush::ui {

// The screen corner of a window (the monitor's position class) as the lists name it:
// "左上弹窗" and the other corners, "位置未知" for a class without a corner.
const wchar_t* PositionText(int positionClass);

}  // namespace winhush::ui
