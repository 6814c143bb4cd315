#pragma once

#include <QString>

// Whether the user may change the installation at `folder` (the running program's own by
// default). A system package (/usr/lib/...) or a Program Files installation without rights is
// not: it is updated by the system's package manager or the administrator, never by the
// client's own updater.
bool installationWritable(const QString &folder = QString());
