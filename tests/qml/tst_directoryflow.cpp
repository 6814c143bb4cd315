// Qt Quick Test of the organisation section against the reference server: the department and
// role trees by keys, the people search, the person card with its QR code and a chat from it.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/directoryflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(directoryflow)
