// Tells the UI library where the program's layouts and images are: the "Winhush.ui"
// archive beside the executable, read once into memory. Called before any window exists.
#pragma once

#include <windows.h>

namespace winhush {

void SetUpUiResources(HINSTANCE instance);

}  // namespace winhush
