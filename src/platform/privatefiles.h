#pragma once

#include <QString>

// Files and folders that hold the user's settings, passwords and downloads in progress: readable
// by the user only (0600 files, 0700 folders on Unix). Elsewhere these do nothing.
namespace PrivateFiles {

// Creates `path` with its missing parents; `path` and every folder created below `from` (a
// prefix of `path`) are made private. False when the folder cannot be created.
bool makeFolder(const QString &path, const QString &from);

// Creates the file empty when it is missing and makes it private, so a later rewrite (which
// keeps the permissions of the file it replaces) stays private too.
bool prepareFile(const QString &path);

} // namespace PrivateFiles
