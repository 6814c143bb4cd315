// Qt Quick Test of the local message history in the window: the conversation list and the last
// messages from the file after signing in again with the server silent, history pages and the
// history search offline with their local mark, and the server's pages merged in once each.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/historyflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(historyflow)
