#ifndef QUAVREX_SHELL_SETTINGS_FILE_H_
#define QUAVREX_SHELL_SETTINGS_FILE_H_

#include <QString>

// Where the dialog keeps its settings: it reads `readPath` (which may not exist yet) at start
// and writes `writePath` when the window closes. Usually both are the same file.
struct SettingsFiles {
  QString readPath;
  QString writePath;
};

// The dialog's options. The settings file keeps each as a number under the key named here; a
// missing key reads as the default given here, and the numbers are seen nowhere else.
struct DialogOptions {
  bool ma2 = false;          // [Data] Format, not 0: 16-voice MA2 output; otherwise MA1
  bool octaveCheck = false;  // [Data] OctCheck, not 0: the MA1 octave-range report
  bool voiceSetup = false;   // [Data] MtsuOut, not 0: the voice definitions in MA1 output
  bool ezgetTrailer = true;  // [Data] CRC, exactly 1: the EzGet bytes 1D 0F after the CRC
  bool alwaysOnTop = true;   // [Data] ZOrder, exactly 1: the window stays above all others

  bool operator==(const DialogOptions&) const = default;
};

// What the settings file holds: the window's place and the options.
struct ShellSettings {
  int top = 0;   // [WindowsPos] TOP: top of the window frame in screen pixels
  int left = 0;  // [WindowsPos] LEFT
  DialogOptions options;
};

// The settings file beside the executable: its path with ".ini" added (the program file has
// no extension of its own).
QString SettingsBesideExecutable(const QString& executablePath);

// The settings file in the user's configuration folder: `configHome` + "/quavrex/quavrex.ini".
QString SettingsInConfigFolder(const QString& configHome);

// $XDG_CONFIG_HOME when it is set to an absolute path, else ~/.config.
QString UserConfigHome();

// Chooses the files from the two candidates. The file beside the executable is written when its
// folder is writable, otherwise the one in the configuration folder. Settings are read from the
// file that will be written when it exists, else from the other one when that exists, so that
// what a session writes is what the next one reads.
SettingsFiles PickSettingsFiles(const QString& besideExecutable, const QString& inConfigFolder,
                                bool executableFolderWritable, bool besideExecutableExists,
                                bool inConfigFolderExists);

// PickSettingsFiles for the executable at `executablePath`, asking the file system.
SettingsFiles LocateSettingsFiles(const QString& executablePath);

// Reads the settings at `path`. A missing or unreadable file, a missing key or an empty value
// yields the default. A value is read like a profile integer: leading blanks, an optional sign
// and the decimal digits that follow; text without digits reads as 0. Section and key names
// match without regard to case.
ShellSettings ReadSettings(const QString& path);

// Writes every key of `settings` as a decimal number to `path` (an option as 1 or 0), creating
// its folder when needed.
// Returns false when the file could not be written (the dialog does not report it).
bool WriteSettings(const QString& path, const ShellSettings& settings);

#endif  // QUAVREX_SHELL_SETTINGS_FILE_H_
