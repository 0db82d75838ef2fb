// The main window's runners of the window picker and the record dialog.
#pragma once

namespace winhush::ui {

void RegisterPickerRunners();

}  // namespace winhush::ui
