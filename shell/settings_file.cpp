#include "shell/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <climits>
#include <cstdint>

namespace {

constexpr char kPositionSection[] = "WindowsPos";
constexpr char kDataSection[] = "Data";

// The name in `names` equal to `wanted`, else the first one equal to it without regard to case,
// else `wanted` itself (which then reads as missing).
QString MatchName(const QStringList& names, const QString& wanted) {
  if (names.contains(wanted)) {
    return wanted;
  }
  for (const QString& name : names) {
    if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
      return name;
    }
  }
  return wanted;
}

// Reads a value the way a profile integer is read: blanks, an optional sign, decimal digits.
// An empty value gives `fallback`; digits past the int range saturate.
int ParseProfileInt(const QString& text, int fallback) {
  if (text.isEmpty()) {
    return fallback;
  }
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > int64_t{INT_MAX} + 1) {
      value = int64_t{INT_MAX} + 1;
    }
  }
  if (negative) {
    return static_cast<int>(-value);
  }
  return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

// One section of an open settings file, looked up without regard to case.
class SectionReader {
 public:
  SectionReader(QSettings& settings, const QString& section) : settings_(settings) {
    settings_.beginGroup(MatchName(settings_.childGroups(), section));
    keys_ = settings_.childKeys();
  }
  ~SectionReader() { settings_.endGroup(); }
  SectionReader(const SectionReader&) = delete;
  SectionReader& operator=(const SectionReader&) = delete;

  int Int(const QString& key, int fallback) const {
    const QString name = MatchName(keys_, key);
    if (!keys_.contains(name)) {
      return fallback;
    }
    const QVariant value = settings_.value(name);
    // An unquoted comma makes the INI reader split the value into a list; take it whole.
    if (value.typeId() == QMetaType::QStringList) {
      return ParseProfileInt(value.toStringList().join(u','), fallback);
    }
    return ParseProfileInt(value.toString(), fallback);
  }

 private:
  QSettings& settings_;
  QStringList keys_;
};

// Stores `value` under `key` in the current group, dropping spellings of the key that differ
// only in case so that the next read finds this value.
void WriteKey(QSettings& settings, const QString& key, int value) {
  for (const QString& name : settings.childKeys()) {
    if (name != key && name.compare(key, Qt::CaseInsensitive) == 0) {
      settings.remove(name);
    }
  }
  settings.setValue(key, QString::number(value));
}

}  // namespace

QString SettingsBesideExecutable(const QString& executablePath) {
  return executablePath + QStringLiteral(".ini");
}

QString SettingsInConfigFolder(const QString& configHome) {
  return configHome + QStringLiteral("/quavrex/quavrex.ini");
}

QString UserConfigHome() {
  QString fromEnvironment = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment)) {
    return fromEnvironment;
  }
  return QDir::homePath() + QStringLiteral("/.config");
}

SettingsFiles PickSettingsFiles(const QString& besideExecutable, const QString& inConfigFolder,
                                bool executableFolderWritable, bool besideExecutableExists,
                                bool inConfigFolderExists) {
  SettingsFiles files;
  files.writePath = executableFolderWritable ? besideExecutable : inConfigFolder;
  files.readPath = files.writePath;
  const bool writtenExists =
      executableFolderWritable ? besideExecutableExists : inConfigFolderExists;
  if (!writtenExists && besideExecutableExists) {
    files.readPath = besideExecutable;
  } else if (!writtenExists && inConfigFolderExists) {
    files.readPath = inConfigFolder;
  }
  return files;
}

SettingsFiles LocateSettingsFiles(const QString& executablePath) {
  const QString beside = SettingsBesideExecutable(executablePath);
  const QString inConfig = SettingsInConfigFolder(UserConfigHome());
  const QFileInfo folder(QFileInfo(executablePath).absolutePath());
  return PickSettingsFiles(beside, inConfig, folder.isDir() && folder.isWritable(),
                           QFileInfo(beside).isFile(), QFileInfo(inConfig).isFile());
}

ShellSettings ReadSettings(const QString& path) {
  ShellSettings values;
  if (!QFileInfo(path).isFile()) {
    return values;
  }
  QSettings settings(path, QSettings::IniFormat);
  {
    const SectionReader position(settings, QString::fromLatin1(kPositionSection));
    values.top = position.Int(QStringLiteral("TOP"), values.top);
    values.left = position.Int(QStringLiteral("LEFT"), values.left);
  }
  const SectionReader data(settings, QString::fromLatin1(kDataSection));
  DialogOptions& options = values.options;
  options.ma2 = data.Int(QStringLiteral("Format"), 0) != 0;
  options.ezgetTrailer = data.Int(QStringLiteral("CRC"), 1) == 1;
  options.octaveCheck = data.Int(QStringLiteral("OctCheck"), 0) != 0;
  options.voiceSetup = data.Int(QStringLiteral("MtsuOut"), 0) != 0;
  options.alwaysOnTop = data.Int(QStringLiteral("ZOrder"), 1) == 1;
  return values;
}

bool WriteSettings(const QString& path, const ShellSettings& values) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSettings settings(path, QSettings::IniFormat);
  settings.beginGroup(MatchName(settings.childGroups(), QString::fromLatin1(kPositionSection)));
  WriteKey(settings, QStringLiteral("TOP"), values.top);
  WriteKey(settings, QStringLiteral("LEFT"), values.left);
  settings.endGroup();
  settings.beginGroup(MatchName(settings.childGroups(), QString::fromLatin1(kDataSection)));
  const DialogOptions& options = values.options;
  WriteKey(settings, QStringLiteral("Format"), options.ma2 ? 1 : 0);
  WriteKey(settings, QStringLiteral("CRC"), options.ezgetTrailer ? 1 : 0);
  WriteKey(settings, QStringLiteral("OctCheck"), options.octaveCheck ? 1 : 0);
  WriteKey(settings, QStringLiteral("MtsuOut"), options.voiceSetup ? 1 : 0);
  WriteKey(settings, QStringLiteral("ZOrder"), options.alwaysOnTop ? 1 : 0);
  settings.endGroup();
  settings.sync();
  return settings.status() == QSettings::NoError;
}
