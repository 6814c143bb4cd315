// Qt Quick Test of the recent-conversation list against the reference server: unread counts,
// read marks, the keyboard, the search with person cards, and a dropped connection.
#include "quickflowsetup.h"
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/newsflow"
#include <QtQuickTest/quicktest.h>
TARNEX_QUICK_FLOW(newsflow)
