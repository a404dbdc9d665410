// Camera settings files: saving the rows, loading them back through the device, the dialogs,
// the overwrite question, foreign and Windows-made files, and refused or interrupted writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>

#include "platform/os/ProfileFile.h"
#include "settings/CameraSettingsFile.h"
#include "tests/ui/ActionTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/ButtonImage.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

QString SettingsFolder(const TempHome& home) {
  return home.Path() + QStringLiteral("/Documents/KorvaneCamSettingsTool");
}

// What a save of "Cam A" writes with the given rows changed from their reset state (0, off).
std::string ExpectedSection(const std::map<std::string, std::string>& values,
                            const std::map<std::string, std::string>& autos, int powerFrequency) {
  std::string text = "[Cam A]\n";
  for (const TPropertyRow& row : kPropertyRows) {
    const auto value = values.find(row.SettingsKey);
    text +=
        std::string(row.SettingsKey) + "=" + (value == values.end() ? "0" : value->second) + "\n";
  }
  for (const TPropertyRow& row : kPropertyRows) {
    const auto value = autos.find(row.SettingsKey);
    text += "CheckBox" + std::string(row.SettingsKey) + "=" +
            (value == autos.end() ? "0" : value->second) + "\n";
  }
  return text + "PowerFrequency=" + std::to_string(powerFrequency) + "\n";
}

void Save(Session& session, const QString& fileName) {
  ModalAnswerer save(QStringLiteral("SaveDialog1"), ChooseFile(fileName));
  Click(session.Form().ButtonWrite);
}

void Load(Session& session, const QString& fileName) {
  ModalAnswerer load(QStringLiteral("OpenDialog1"), ChooseFile(fileName));
  Click(session.Form().ButtonRead);
}

// Sets the user's locale for the lifetime of the object.
class ScopedLocale {
 public:
  explicit ScopedLocale(const QLocale& locale) : FPrevious(QLocale()) {
    QLocale::setDefault(locale);
  }
  ~ScopedLocale() { QLocale::setDefault(FPrevious); }

 private:
  QLocale FPrevious;
};

}  // namespace

TEST(SettingsFile, SaveWritesTheRowsAndLoadBringsThemBackToTheDevice) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->SetValue(200);
  session.Find<QCheckBox>(QStringLiteral("CheckBoxContrast"))->setChecked(true);
  form.ComboBoxFrequency->SetItemIndex(1);
  form.ComboBoxFrequencyClick();
  ASSERT_EQ(session.VideoProcAmp(0, kPowerLine).value, 2);

  const QString file = SettingsFolder(home) + QStringLiteral("/cam.kcs");
  QString title, folder, suffix, nameField;
  QStringList filters;
  {
    ModalAnswerer save(QStringLiteral("SaveDialog1"), [&](QWidget& window) {
      auto& dialog = static_cast<QFileDialog&>(window);
      title = dialog.windowTitle();
      folder = dialog.directory().absolutePath();
      filters = dialog.nameFilters();
      suffix = dialog.defaultSuffix();
      nameField = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
      ChooseFile(file)(window);
    });
    Click(form.ButtonWrite);
  }
  EXPECT_EQ(title, QStringLiteral("Save camera settings"));
  EXPECT_EQ(folder, SettingsFolder(home));
  EXPECT_EQ(filters, QStringList{QStringLiteral("Korvane Camera Settings (*.kcs)")});
  EXPECT_EQ(suffix, QStringLiteral("kcs"));
  EXPECT_EQ(nameField, QStringLiteral("*.kcs"));
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Settings saved"));
  EXPECT_EQ(form.StatusLabel->text(), QString());
  EXPECT_EQ(ReadBytes(file),
            ExpectedSection({{"Brightness", "200"}, {"Contrast", "50"}, {"Zoom", "100"}},
                            {{"Contrast", "1"}}, 1));

  // Another program changes the camera; loading puts the saved state back.
  session.Store().Modify([](korvane::sim::SimDescription& d) {
    d.devices[0].videoProcAmp[kBrightness].value = 10;
    d.devices[0].videoProcAmp[kContrast].flags = 2;
    d.devices[0].videoProcAmp[kPowerLine].value = 1;
  });
  form.MessageTimerTimer();
  QString loadTitle;
  {
    ModalAnswerer load(QStringLiteral("OpenDialog1"), [&](QWidget& window) {
      loadTitle = window.windowTitle();
      // The camera was read again before the dialog opened.
      EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
                QStringLiteral("10"));
      ChooseFile(file)(window);
    });
    Click(form.ButtonRead);
  }
  EXPECT_EQ(loadTitle, QStringLiteral("Load camera settings"));
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 200);
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).flags, 1);
  EXPECT_EQ(session.VideoProcAmp(0, kPowerLine).value, 2);
  EXPECT_TRUE(session.Find<QCheckBox>(QStringLiteral("CheckBoxContrast"))->isChecked());
  EXPECT_EQ(form.MessageLabel->text(), QString());
}

TEST(SettingsFile, TwoCamerasShareAFileInTwoSections) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  const QString file = SettingsFolder(home) + QStringLiteral("/two.kcs");
  session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->SetValue(11);
  Save(session, file);

  session.ClickCamera(1);
  session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->SetValue(22);
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    Save(session, file);
    ASSERT_EQ(yes.Texts(), QStringList{QStringLiteral("Overwrite file \"two.kcs\"")});
  }
  const korvane::os::ProfileFile profile(file.toStdString());
  EXPECT_EQ(profile.ReadString("Cam A", "Brightness", ""), "11");
  EXPECT_EQ(profile.ReadString("Cam B", "Brightness", ""), "22");

  // Each camera gets its own section back.
  session.Store().Modify([](korvane::sim::SimDescription& d) {
    d.devices[0].videoProcAmp[kBrightness].value = 99;
    d.devices[1].videoProcAmp[kBrightness].value = 99;
  });
  Load(session, file);
  EXPECT_EQ(session.VideoProcAmp(1, kBrightness).value, 22);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 99);
  session.ClickCamera(0);
  Load(session, file);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 11);
  EXPECT_EQ(form.ComboBoxCamera->GetItemIndex(), 0);
}

TEST(SettingsFile, WithoutTheCameraSectionEverythingGoesToItsDefault) {
  struct Case {
    const char* name;
    const char* contents;  // nullptr: the typed file does not exist
  };
  for (const Case& c : {Case{"other.kcs", "[Another camera]\nBrightness=5\nCheckBoxContrast=1\n"},
                        Case{"missing.kcs", nullptr}}) {
    SCOPED_TRACE(c.name);
    TempHome home;
    korvane::sim::SimDescription cameras = TwoAdjustableCameras();
    cameras.devices[0].videoProcAmp[kContrast].flags = 1;
    cameras.devices[0].videoProcAmp[kPowerLine].value = 2;
    cameras.devices[0].cameraControl[kZoom].value = 300;
    Session session(cameras);
    const QString file = SettingsFolder(home) + QLatin1Char('/') + QLatin1String(c.name);
    QDir().mkpath(SettingsFolder(home));
    if (c.contents) WriteBytes(file, c.contents);

    Load(session, file);
    EXPECT_EQ(session.VideoProcAmp(0, kContrast).flags, 2);
    EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 0);
    // Position 0 is kept within the row's range.
    EXPECT_EQ(session.CameraControl(0, kZoom).value, 100);
    EXPECT_EQ(session.VideoProcAmp(0, kPowerLine).value, 1);
    EXPECT_EQ(session.Form().ComboBoxFrequency->SelectedText(), QStringLiteral("PAL - 50Hz"));
    if (c.contents) {
      EXPECT_EQ(ReadBytes(file), c.contents) << "loading leaves the file alone";
    } else {
      EXPECT_FALSE(QFileInfo::exists(file));
    }
  }
}

// A file that is there but cannot be read is reported; it is not loaded as a file without the
// camera's section, which would set every control to 0.
TEST(SettingsFile, AFileThatCannotBeReadIsReportedAndNothingChanges) {
  TempHome home;
  korvane::sim::SimDescription cameras = TwoAdjustableCameras();
  cameras.devices[0].cameraControl[kZoom].value = 300;
  Session session(cameras);
  QDir().mkpath(SettingsFolder(home));
  const QString file = SettingsFolder(home) + QStringLiteral("/huge.kcs");
  WriteBytes(file, "[Cam A]\nZoom=200\n" + std::string(4 << 20, ';'));
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  Load(session, file);
  EXPECT_EQ(
      errors.Texts(),
      QStringList{QStringLiteral("Unable to read %1: it is larger than a settings file can be "
                                 "(4 MiB)")
                      .arg(file)});
  EXPECT_EQ(session.CameraControl(0, kZoom).value, 300);
}

TEST(SettingsFile, SavingIntoAnExistingFileKeepsEverythingElseInIt) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  QDir().mkpath(SettingsFolder(home));
  const QString file = SettingsFolder(home) + QStringLiteral("/keep.kcs");
  const std::string before =
      "; made by hand\r\n[Other]\r\nBrightness=7\r\n\r\n[cam a]\r\nForeign=keep me\r\n"
      "Brightness=1\r\n[Last]\r\nX=y\r\n";
  WriteBytes(file, before);
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    Save(session, file);
  }
  const std::string after = ReadBytes(file);
  EXPECT_EQ(after.rfind("; made by hand\r\n[Other]\r\nBrightness=7\r\n\r\n[cam a]\r\n"
                        "Foreign=keep me\r\nBrightness=128\r\n",
                        0),
            0u)
      << after;
  EXPECT_NE(after.find("PowerFrequency=0\r\n[Last]\r\nX=y\r\n"), std::string::npos) << after;
  EXPECT_EQ(after.find("[Cam A]"), std::string::npos) << "one section per camera, any case";
  for (std::size_t at = after.find('\n'); at != std::string::npos; at = after.find('\n', at + 1)) {
    ASSERT_EQ(after[at - 1], '\r') << "line endings kept";
  }
}

TEST(SettingsFile, MalformedValuesReadAsZeroAndHexadecimalBoxesAsTicked) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  QDir().mkpath(SettingsFolder(home));
  const QString file = SettingsFolder(home) + QStringLiteral("/odd.kcs");
  WriteBytes(file,
             "[Cam A]\nBrightness=abc\nCheckBoxBrightness=abc\nContrast=  42  \n"
             "CheckBoxContrast=0x1F\nZoom=1e3\nPowerFrequency=abc\n");
  session.Store().Modify(
      [](korvane::sim::SimDescription& d) { d.devices[0].videoProcAmp[kPowerLine].value = 2; });
  session.Form().ComboBoxCameraChange();
  Load(session, file);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 0);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).flags, 2);
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).flags, 1);
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).value, 42);
  EXPECT_EQ(session.CameraControl(0, kZoom).value, 400);  // 1000, kept within the range
  EXPECT_EQ(session.VideoProcAmp(0, kPowerLine).value, 1);
}

TEST(SettingsFile, FractionsFollowTheUserLocaleAndWholeValuesReadEverywhere) {
  TempHome home;
  korvane::sim::SimDescription cameras = TwoAdjustableCameras();
  cameras.devices[0].videoProcAmp[kBrightness] = Control(0, 10, 0, 1);
  Session session(cameras);
  const QString file = SettingsFolder(home) + QStringLiteral("/comma.kcs");
  auto* brightness = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  {
    const ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
    brightness->SetValue(2.5);
    Save(session, file);
    EXPECT_NE(ReadBytes(file).find("\nBrightness=2,5\n"), std::string::npos) << ReadBytes(file);
    brightness->SetValue(7);
    Load(session, file);
    EXPECT_DOUBLE_EQ(brightness->Value(), 2.5);
  }
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
    SCOPED_TRACE(locale.name().toStdString());
    const ScopedLocale other(locale);
    brightness->SetValue(7);
    Load(session, file);
    EXPECT_DOUBLE_EQ(brightness->Value(), 0);
    EXPECT_EQ(session.VideoProcAmp(0, kContrast).value, 50);  // a whole value reads anywhere
  }
}

TEST(SettingsFile, CancelAndNoLeaveEverythingAsItWas) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  {
    ModalAnswerer cancel(QStringLiteral("SaveDialog1"), CancelDialog);
    Click(form.ButtonWrite);
  }
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Nothing saved"));
  EXPECT_TRUE(QDir(SettingsFolder(home)).isEmpty()) << "the folder is made, no file";

  form.MessageTimerTimer();
  session.Store().ResetCallCounts();
  {
    ModalAnswerer cancel(QStringLiteral("OpenDialog1"), CancelDialog);
    Click(form.ButtonRead);
  }
  EXPECT_EQ(form.MessageLabel->text(), QString());
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);

  const QString file = SettingsFolder(home) + QStringLiteral("/kept.kcs");
  const std::string before = "[Cam A]\r\nBrightness=3\r\n; note\r\n";
  WriteBytes(file, before);
  {
    ModalAnswerer no(QStringLiteral("MessageForm"), ClickButton2);
    Save(session, file);
    EXPECT_EQ(no.Texts(), QStringList{QStringLiteral("Overwrite file \"kept.kcs\"")});
  }
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Nothing saved"));
  EXPECT_EQ(ReadBytes(file), before);
}

TEST(SettingsFile, ARefusedWriteIsReportedWithTheFullNameAndNothingElse) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  // The system refuses every write in this folder: permissions for a normal user; for the
  // super-user, who passes them, a folder of the kernel's.
  QString folder = QStringLiteral("/proc");
  if (::geteuid() != 0) {
    folder = home.Path() + QStringLiteral("/readonly");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
  }
  const QString file = folder + QStringLiteral("/settings.kcs");
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  Save(session, file);
  // The full name, then why.
  ASSERT_EQ(errors.Texts().size(), 1);
  const QString text = errors.Texts().front();
  EXPECT_TRUE(text.startsWith(QStringLiteral("Unable to write to %1: cannot create a file in its "
                                             "folder \"%2\": ")
                                  .arg(file, folder)))
      << text.toStdString();
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_EQ(form.MessageLabel->text(), QString());
  EXPECT_EQ(form.StatusLabel->text(), QStringLiteral(" "));
}

TEST(SettingsFile, WindowsMadeFilesLoad) {
  const std::string name = "Kamera f\xC3\xBCr B\xC3\xBCro";
  const std::string latin1Name =
      "Kamera f\xFCr B\xFC"
      "ro";
  const auto utf16 = [](const std::string& text) {
    const QString decoded = QString::fromStdString(text);
    std::string bytes = "\xFF\xFE";
    for (const QChar c : decoded) {
      bytes += static_cast<char>(c.unicode() & 0xFF);
      bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string body = "]\r\nBrightness=77\r\nCheckBoxContrast=1\r\n";
  for (const Case& c : {Case{"UTF-8, CRLF", "[" + name + body},
                        Case{"UTF-16 LE with byte-order mark", utf16("[" + name + body)},
                        Case{"Windows-1252", "[" + latin1Name + body}}) {
    SCOPED_TRACE(c.what);
    TempHome home;
    korvane::sim::SimDescription cameras;
    cameras.devices = {AdjustableCamera(name), AdjustableCamera("Spare")};
    Session session(cameras);
    QDir().mkpath(SettingsFolder(home));
    const QString file = SettingsFolder(home) + QStringLiteral("/windows.kcs");
    WriteBytes(file, c.bytes);
    Load(session, file);
    EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 77);
    EXPECT_EQ(session.VideoProcAmp(0, kContrast).flags, 1);

    // Saving back keeps the file's encoding.
    {
      ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
      Save(session, file);
    }
    const std::string saved = ReadBytes(file);
    EXPECT_EQ(saved.substr(0, 2) == "\xFF\xFE", c.bytes.substr(0, 2) == "\xFF\xFE");
    EXPECT_EQ(CameraSettingsFile::Read(file.toStdString(), name).Positions[1], 77);
  }
}

// A save killed at an arbitrary moment leaves each key either as it was or as it was being
// written, and never a broken file.
TEST(SettingsFile, AKilledSaveLeavesWholeKeys) {
  TempHome home;
  const QString file = home.Path() + QStringLiteral("/killed.kcs");
  WriteBytes(file, "; keep\n[Other]\nKeep=1\n");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    QProcess child;
    child.start(QStringLiteral(KORVANE_SAVE_CHILD), {file, QStringLiteral("Cam")});
    ASSERT_TRUE(child.waitForStarted());
    int saves = 0;
    while (saves < 2 + round * 3 && child.waitForReadyRead(30000)) {
      saves += static_cast<int>(child.readAllStandardOutput().count('\n'));
    }
    child.kill();
    child.waitForFinished();

    const std::string text = ReadBytes(file);
    ASSERT_EQ(text.rfind("; keep\n[Other]\nKeep=1\n", 0), 0u) << text;
    const TCameraSettings read = CameraSettingsFile::Read(file.toStdString(), "Cam");
    for (std::size_t i = 0; i < kPropertyCount; ++i) {
      const double value = read.Positions[i];
      EXPECT_TRUE(value == static_cast<double>(i) || value == 100.0 + static_cast<double>(i))
          << kPropertyRows[i].SettingsKey << "=" << value;
    }
    EXPECT_TRUE(read.PowerFrequency == 0 || read.PowerFrequency == 1);
    for (const TPropertyRow& row : kPropertyRows) {
      const std::string line = std::string("\n") + row.SettingsKey + "=";
      const std::size_t first = text.find(line);
      EXPECT_NE(first, std::string::npos) << row.SettingsKey;
      EXPECT_EQ(text.find(line, first + 1), std::string::npos) << row.SettingsKey << " twice";
    }
  }
}
