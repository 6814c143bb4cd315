#include "logging.h"

Q_LOGGING_CATEGORY(lcConfig, "tarnex.config")
Q_LOGGING_CATEGORY(lcNetwork, "tarnex.network")
Q_LOGGING_CATEGORY(lcSignin, "tarnex.signin")
Q_LOGGING_CATEGORY(lcMessaging, "tarnex.messaging")
Q_LOGGING_CATEGORY(lcDirectory, "tarnex.directory")
Q_LOGGING_CATEGORY(lcReminders, "tarnex.reminders")
Q_LOGGING_CATEGORY(lcFiles, "tarnex.files")
Q_LOGGING_CATEGORY(lcLanguage, "tarnex.language")
Q_LOGGING_CATEGORY(lcUpdate, "tarnex.update")
Q_LOGGING_CATEGORY(lcDesktop, "tarnex.desktop")
