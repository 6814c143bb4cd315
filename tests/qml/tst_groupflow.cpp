// Qt Quick Test of the group documents against the reference server: the cases in
// tests/qml/groupflow/ drive the real window, a second colleague acts through the server's hooks.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/groupflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(groupflow)
