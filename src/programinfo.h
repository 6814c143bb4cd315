#pragma once

// What the programs know of themselves: the version the build gives them and the event loop
// exit codes by which the window asks the entry point to act.
namespace ProgramInfo {

inline constexpr char version[] = TARNEX_VERSION;

// Start the client again once the window has closed (restartDevice).
inline constexpr int restartExitCode = 773;
// End the client for the updater to replace it (openExeProgram); passed on as the exit status.
inline constexpr int quitExitCode = 900;

} // namespace ProgramInfo
