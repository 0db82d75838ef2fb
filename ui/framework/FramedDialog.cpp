#include "ui/framework/FramedDialog.h"

namespace winhush::ui {

namespace {
CLockHost* LockHostOf(HWND owner) { return dynamic_cast<CLockHost*>(CWindowImplRoot::FromHandle(owner)); }
}  // namespace

CScopedOwnerLock::CScopedOwnerLock(HWND owner) : owner_(owner) {
    CLockHost* host = LockHostOf(owner);
    if (!host || host->IsLocked()) return;
    host->LockOn();
    raised_ = true;
}

CScopedOwnerLock::~CScopedOwnerLock() {
    if (!raised_) return;
    // The owner may have gone while the dialog ran (its object with it).
    if (CLockHost* host = LockHostOf(owner_)) host->LockOff();
}

}  // namespace winhush::ui
