#pragma once

#include <QString>

// Starting the client with the user's session: the machine-wide run list of the registry on
// Windows, an XDG autostart entry elsewhere.
class Autostart
{
public:
    // True when the system starts this executable at log-in.
    static bool isEnabled();
    // Adds or removes the entry; a write the system refuses is not reported.
    static void setEnabled(bool enabled);

    // The XDG entry file (Linux); empty on Windows.
    static QString entryPath();
    // The command the entry starts: this executable, "\" separated on Windows.
    static QString command();
};
