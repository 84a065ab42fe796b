// Test-only controls, read from the environment each time so a test can
// change them between steps:
//   SCANVANE_TEST_FAIL=module|window|create|device|texture|lock  that step fails
//   SCANVANE_TEST_BOXES=log   message boxes are written to stderr, not shown
//   SCANVANE_TEST_DUMP=FILE   the last presented image, back-buffer width x height
//                             words 0x00RRGGBB, row by row from the top
#include "platform/sdl/layer.h"

#include <stdlib.h>
#include <string.h>

void (*AfterPresentHook)(HWND window);
bool InvisibleDisplayAllowed;

bool TestFailure(const char *step) {
    const char *fail = getenv("SCANVANE_TEST_FAIL");
    return fail != nullptr && strcmp(fail, step) == 0;
}

bool TestBoxesLogged() {
    const char *boxes = getenv("SCANVANE_TEST_BOXES");
    return boxes != nullptr && strcmp(boxes, "log") == 0;
}

const char *TestDumpPath() {
    const char *path = getenv("SCANVANE_TEST_DUMP");
    return path != nullptr && path[0] != '\0' ? path : nullptr;
}
