// Qt Quick Test of the sign-in documents against the reference server: the test cases in
// tests/qml/quick/ drive the real window (qrc:/main.qml) with keys and clicks.
#include "quickflowsetup.h"

// The test cases live beside this file; defined before the header, which reads it.
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/quick"
#include <QtQuickTest/quicktest.h>

TARNEX_QUICK_FLOW(signinflow)
