#pragma once

// Start-up steps that keep a hostile or broken home directory from steering or stalling the start.
#include <QString>
#include <memory>

class QTemporaryDir;

// Unsets every XDG base directory variable (XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_STATE_HOME, XDG_RUNTIME_DIR) that holds a relative path: the XDG base directory rules say such
// a value is invalid and must be ignored, and Qt would otherwise resolve it against the directory
// the program happened to be started from. Call before anything asks QStandardPaths.
void ignoreRelativeXdgDirectories();

// The file QSettings uses for the application's user settings (~/.config/Quorlen/Ambertrace.conf).
QString userSettingsPath();

// The largest settings file that is read, in bytes. The program keeps one flag there.
inline constexpr qint64 maxSettingsFileBytes = 64 * 1024;

// How long the start waits for the settings lock, in milliseconds. A lock of a dead process on this
// machine is taken over at once; one of another machine (a shared home) or a directory in its place
// is waited for this long, and then the program goes on without it.
inline constexpr int settingsLockWaitMs = 1500;

// QSettings reads its file with a blocking read and waits for its lock without end. When the settings
// file is anything but a regular file of at most maxSettingsFileBytes, or its lock cannot be taken
// within settingsLockWaitMs, the application's settings are pointed at a private temporary directory
// for this run (holding a copy of the settings file when that is readable), so the start goes on
// and nothing is written to the real file. Returns that directory, which must outlive every
// QSettings of the run; null when the real settings are fine.
std::unique_ptr<QTemporaryDir> guardSettingsFile();
