#pragma once

#include <QString>

// The screenshot tool the chat input starts: it lets the user pick a part of the screen, puts
// the picture on the clipboard and reports by its exit code.
class ScreenshotTool
{
public:
    // A picture is on the clipboard. Where exit codes have 8 bits (Linux) 700 arrives as
    // 700 mod 256 = 188.
    static constexpr int pictureTaken = 700;
    static constexpr int pictureTakenAlternative = 188;
    // The user cancelled.
    static constexpr int cancelled = 0;

    // Windows: "ascreenshot/screenshot.exe" below the client's folder; elsewhere our own
    // "tarnex-screenshot" beside the client.
    static QString programPath();
    static QString programName();
};
