// Windows of this folder whose objects outlive their windows (the tips, the preview) create
// their window again later. The paint manager keeps the old control tree, fonts and images
// after the window is gone, and with a tree still attached it would neither size the new
// window from its layout nor lay it out; this hands it back empty.
#pragma once

#include "ui/dui/UIManager.h"

namespace winhush::ui {

// Call once the window is gone (OnFinalMessage).
inline void ResetManagerForNextWindow(dui::CPaintManagerUI& pm) {
    // With the window gone the old tree is deleted at once rather than posted for later.
    pm.AttachDialog(nullptr);
    pm.RemoveAllImages();
    pm.RemoveAllFonts();
    pm.RemoveAllDefaultAttributeList();
}

}  // namespace winhush::ui
