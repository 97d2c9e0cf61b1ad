#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

// Writes `text` as the whole file at `path`.
void WriteText(const QString& path, const char* text) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
}

QString ReadText(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QString::fromUtf8(file.readAll());
}

struct PickCase {
  bool folderWritable;
  bool besideExists;
  bool configExists;
  const char* read;   // "beside" or "config"
  const char* write;  // "beside" or "config"
};

const PickCase kPickCases[] = {
    // the executable's folder is writable: the file beside it is written
    {true, false, false, "beside", "beside"},
    {true, true, false, "beside", "beside"},
    {true, true, true, "beside", "beside"},
    {true, false, true, "config", "beside"},  // an older file in the configuration folder
    // not writable: the configuration folder is written, and read first once it exists
    {false, false, false, "config", "config"},
    {false, true, false, "beside", "config"},  // a file shipped beside the program
    {false, true, true, "config", "config"},
    {false, false, true, "config", "config"},
};

TEST(SettingsFileTest, PicksWhereToReadAndWrite) {
  const QString beside = QStringLiteral("/opt/q/quavrex.ini");
  const QString config = QStringLiteral("/home/u/.config/quavrex/quavrex.ini");
  for (const PickCase& c : kPickCases) {
    SCOPED_TRACE(testing::Message() << "writable=" << c.folderWritable << " beside="
                                    << c.besideExists << " config=" << c.configExists);
    const SettingsFiles files =
        PickSettingsFiles(beside, config, c.folderWritable, c.besideExists, c.configExists);
    EXPECT_EQ(files.readPath, std::string(c.read) == "beside" ? beside : config);
    EXPECT_EQ(files.writePath, std::string(c.write) == "beside" ? beside : config);
  }
}

TEST(SettingsFileTest, PathsBesideTheProgramAndInTheConfigurationFolder) {
  EXPECT_EQ(SettingsBesideExecutable(QStringLiteral("/usr/local/bin/quavrex")),
            QStringLiteral("/usr/local/bin/quavrex.ini"));
  EXPECT_EQ(SettingsInConfigFolder(QStringLiteral("/home/u/.config")),
            QStringLiteral("/home/u/.config/quavrex/quavrex.ini"));

  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", "/srv/conf");
  EXPECT_EQ(UserConfigHome(), QStringLiteral("/srv/conf"));
  qputenv("XDG_CONFIG_HOME", "relative/conf");  // not absolute: ignored
  EXPECT_TRUE(UserConfigHome().endsWith(QStringLiteral("/.config")));
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(UserConfigHome().endsWith(QStringLiteral("/.config")));
  if (!saved.isNull()) {
    qputenv("XDG_CONFIG_HOME", saved);
  }
}

TEST(SettingsFileTest, LocatesBesideAWritableProgramFolder) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString program = folder.filePath(QStringLiteral("quavrex"));
  const SettingsFiles files = LocateSettingsFiles(program);
  EXPECT_EQ(files.writePath, program + QStringLiteral(".ini"));
  EXPECT_EQ(files.readPath, program + QStringLiteral(".ini"));
}

struct ValueCase {
  const char* value;  // the text after "TOP=" (nullptr: no such key)
  int expected;
};

const ValueCase kValueCases[] = {
    // missing or empty: the default
    {nullptr, 0},
    {"", 0},
    // plain numbers
    {"0", 0},
    {"1", 1},
    {"2", 2},
    {"-3", -3},
    {"+4", 4},
    // leading digits count, the rest is ignored; no digits reads as 0
    {"12abc", 12},
    {"abc", 0},
    {"0x10", 0},
    // an unquoted comma splits the value for the INI reader; it is taken whole
    {"7,8", 7},
    // too large: saturates instead of wrapping
    {"99999999999", 2147483647},
    {"-99999999999", -2147483647 - 1},
};

TEST(SettingsFileTest, ReadsValuesAsProfileIntegers) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  int fileNumber = 0;
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.value == nullptr ? "(missing)" : c.value);
    // One file per case: the INI reader caches files by name within a process.
    const QString path = folder.filePath(QStringLiteral("q%1.ini").arg(++fileNumber));
    const std::string text = std::string("[WindowsPos]\nLEFT=5\n") +
                             (c.value ? std::string("TOP=") + c.value + "\n" : "");
    WriteText(path, text.c_str());
    const ShellSettings settings = ReadSettings(path);
    EXPECT_EQ(settings.top, c.expected);
    EXPECT_EQ(settings.left, 5);
  }
}

TEST(SettingsFileTest, MissingFileGivesTheDefaults) {
  const ShellSettings settings = ReadSettings(QStringLiteral("/nonexistent/folder/q.ini"));
  EXPECT_EQ(settings.top, 0);
  EXPECT_EQ(settings.left, 0);
  EXPECT_EQ(settings.options, DialogOptions{});
}

// Format, OctCheck and MtsuOut count when not 0; CRC and ZOrder only when exactly 1.
TEST(SettingsFileTest, OptionsFollowTheirReadRules) {
  struct RuleCase {
    const char* data;
    DialogOptions options;
  };
  const RuleCase kCases[] = {
      {"Format=-1\nOctCheck=2\nMtsuOut=5\nCRC=1\nZOrder=1\n", {true, true, true, true, true}},
      {"Format=0\nOctCheck=0\nMtsuOut=0\nCRC=2\nZOrder=2\n", {false, false, false, false, false}},
      {"CRC=0\nZOrder=0\n", {false, false, false, false, false}},
      // an empty value is the default; a value without digits reads as 0
      {"CRC=\nZOrder=abc\n", {false, false, false, true, false}},
  };
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  int fileNumber = 0;
  for (const RuleCase& c : kCases) {
    SCOPED_TRACE(c.data);
    const QString path = folder.filePath(QStringLiteral("r%1.ini").arg(++fileNumber));
    WriteText(path, (std::string("[Data]\n") + c.data).c_str());
    EXPECT_EQ(ReadSettings(path).options, c.options);
  }
}

TEST(SettingsFileTest, SectionAndKeyNamesIgnoreCase) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("q.ini"));
  WriteText(path, "[windowspos]\ntop=40\nLeft=50\n[DATA]\nzorder=0\noctcheck=3\n");
  const ShellSettings settings = ReadSettings(path);
  EXPECT_EQ(settings.top, 40);
  EXPECT_EQ(settings.left, 50);
  EXPECT_FALSE(settings.options.alwaysOnTop);
  EXPECT_TRUE(settings.options.octaveCheck);

  // Writing replaces the differently spelled keys, so the new values are the ones read back.
  ShellSettings changed;
  changed.top = 41;
  changed.options.alwaysOnTop = true;
  ASSERT_TRUE(WriteSettings(path, changed));
  const ShellSettings reread = ReadSettings(path);
  EXPECT_EQ(reread.top, 41);
  EXPECT_TRUE(reread.options.alwaysOnTop);
  EXPECT_FALSE(reread.options.octaveCheck);
  EXPECT_FALSE(ReadText(path).contains(QStringLiteral("zorder")));
}

TEST(SettingsFileTest, WritesEveryKeyAsDecimalAndCreatesTheFolder) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("conf/quavrex/quavrex.ini"));
  ShellSettings settings;
  settings.top = -20;
  settings.left = 300;
  settings.options = {true, true, true, false, false};
  ASSERT_TRUE(WriteSettings(path, settings));
  const QString text = ReadText(path);
  for (const char* line : {"[WindowsPos]", "TOP=-20", "LEFT=300", "[Data]", "Format=1", "CRC=0",
                           "OctCheck=1", "MtsuOut=1", "ZOrder=0"}) {
    SCOPED_TRACE(line);
    EXPECT_TRUE(text.contains(QString::fromLatin1(line)));
  }
}

}  // namespace
