#include "app/UiResources.h"

namespace winhush {

void SetUpUiResources(HINSTANCE /*instance*/) {
    // The skinned windows do not exist yet; nothing reads the archive so far.
}

}  // namespace winhush
