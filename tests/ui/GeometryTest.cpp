// The geometry file: restored at start-up, written when the window closes.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/ui/UiTestSupport.h"
#include "ui/FileDialogs.h"

using namespace uitest;

namespace {

void WriteFile(const QString& path, const QByteArray& contents) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(contents);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(Geometry, RestoredFromTheFile) {
  struct Case {
    const char* name;
    const char* file;  // nullptr: no file at all
    QRect expected;
  };
  const Case cases[] = {
      {"no file", nullptr, {0, 0, 670, 740}},
      {"empty section", "[KorvaneCamSettingsTool-Settings]\n", {0, 0, 670, 740}},
      {"plain values",
       "[KorvaneCamSettingsTool-Settings]\nTop=40\nLeft=30\nwidth=700\nHeight=740\n",
       {30, 40, 700, 740}},
      {"hexadecimal and any case of key and section",
       "[korvanecamsettingstool-settings]\ntop=0x1F\nLEFT=0X10\nWidth=0x2BC\n",
       {16, 31, 700, 740}},
      {"negative top and left",
       "[KorvaneCamSettingsTool-Settings]\nTop=-50\nLeft=-20\n",
       {0, 0, 670, 740}},
      {"malformed values",
       "[KorvaneCamSettingsTool-Settings]\nTop=abc\nLeft=12abc\nwidth=\n",
       {0, 0, 670, 740}},
      {"beyond what the window system holds",
       "[KorvaneCamSettingsTool-Settings]\nTop=100000\nLeft=2147483647\nwidth=2147483647\n",
       {32767, 32767, 32767, 740}},
      {"the lowest numbers",
       "[KorvaneCamSettingsTool-Settings]\nTop=-2147483648\nLeft=-2147483648\n",
       {0, 0, 670, 740}},
      {"another height",
       "[KorvaneCamSettingsTool-Settings]\nHeight=500\nwidth=520\n",
       {0, 0, 520, 740}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    if (c.file) WriteFile(home.GeometryFile(), c.file);
    Session session({}, {}, false);
    TFormMain& form = session.Form();
    EXPECT_EQ(QRect(form.x(), form.y(), form.width(), form.height()), c.expected);
    // The folder is made on every start, even if the file is never written.
    EXPECT_TRUE(QFileInfo(QFileInfo(home.GeometryFile()).path()).isDir());
  }
}

TEST(Geometry, ClosingWritesTheFourKeysInTheirOrder) {
  TempHome home;
  {
    Session session({});
    session.Form().move(12, 34);
    session.Form().resize(600, 740);
    session.Form().close();
  }
  EXPECT_EQ(
      ReadFile(home.GeometryFile()),
      QByteArray("[KorvaneCamSettingsTool-Settings]\nHeight=740\nTop=34\nLeft=12\nwidth=600\n"));
}

TEST(Geometry, ClosingReplacesTheKeysAndKeepsTheRestOfTheFile) {
  TempHome home;
  WriteFile(
      home.GeometryFile(),
      "; window of the settings tool\r\n[Other]\r\nx=1\r\n[KorvaneCamSettingsTool-Settings]\r\n"
      "width=0x2BC\r\nTop=5\r\n");
  {
    Session session({});
    EXPECT_EQ(session.Form().width(), 700);
    session.Form().close();
  }
  EXPECT_EQ(ReadFile(home.GeometryFile()),
            QByteArray("; window of the settings tool\r\n[Other]\r\nx=1\r\n"
                       "[KorvaneCamSettingsTool-Settings]\r\nwidth=700\r\nTop=5\r\nHeight=740\r\n"
                       "Left=0\r\n"));
}

TEST(Geometry, FileAndSettingsDialogsShareOneFolderAlsoWithoutADocumentsFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become a user the system does not know";
  const pid_t child = ::fork();
  if (child == 0) {
    // No password entry and a HOME that is not a path: no documents folder can be found.
    constexpr uid_t kUnknownUser = 54321;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kUnknownUser) != 0 ||
        ::setuid(kUnknownUser) != 0) {
      ::_exit(100);
    }
    ::setenv("HOME", "relative-home", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    const QString dialogs = FileDialogs::SettingsFolder();
    const QString geometry = QFileInfo(TFormMain::GeometryFilePath()).path();
    ::_exit(dialogs == geometry && geometry == QStringLiteral("/KorvaneCamSettingsTool") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the two folders differ";
}
