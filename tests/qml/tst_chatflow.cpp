// Qt Quick Test of the conversation documents against the reference server: the cases in
// tests/qml/chatflow/ drive the real window, the second user through the server's hooks.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/chatflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(chatflow)
