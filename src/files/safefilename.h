#pragma once

#include <QString>

// A file name from a message made safe to create on every system the client runs on: no path
// separators, drive colons, control or invisible format characters, no names Windows keeps for
// devices ("CON", "com1.txt"), no trailing dots or blanks, no hidden or empty name. What stays
// reads as close to the sender's name as it can.
namespace SafeFileName {

QString of(const QString &received);

} // namespace SafeFileName
