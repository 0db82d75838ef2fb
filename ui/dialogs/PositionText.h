// The screen corner of a window (the monitor's position class) as the lists of the main
// window and the rule list name it.
#pragma once

namespace winhush::ui {

// "左上弹窗" and the other corners; "位置未知" for a class without a corner.
const wchar_t* PositionText(int positionClass);

}  // namespace winhush::ui
