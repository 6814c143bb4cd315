#pragma once

#include <QLoggingCategory>

// The client's logging categories, one per subsystem. Diagnostic lines go here at debug level.
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
Q_DECLARE_LOGGING_CATEGORY(lcNetwork)
Q_DECLARE_LOGGING_CATEGORY(lcSignin)
Q_DECLARE_LOGGING_CATEGORY(lcMessaging)
Q_DECLARE_LOGGING_CATEGORY(lcDirectory)
Q_DECLARE_LOGGING_CATEGORY(lcReminders)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)
Q_DECLARE_LOGGING_CATEGORY(lcLanguage)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
