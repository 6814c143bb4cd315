// Qt Quick Test of the settings window, the themes and skins, the version dialog and the
// in-client update against the reference server, whose feed offers a newer version.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/settingsflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(settingsflow, "--feed-version", "9.9.9.9")
