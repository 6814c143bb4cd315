#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/remindflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(remindflow)
