#include "ui/about_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>

#include "engine/my_tools.h"
#include "ui/launcher.h"
#include "ui/link_label.h"
#include "ui/system_info.h"
#include "ui/version_info.h"

namespace vk {
namespace {

void EnsureApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "about_dlg_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

TEST(VersionLineText, FormatsTheFileVersion) {
  const std::pair<const char*, const char*> cases[] = {
      {"2.5.0.7", "Version 2.5 [2.5.0.0007]"},
      {"", "Version "},
      {"1.0.0.1", "Version 1.0 [1.0.0.0001]"},
      {"10.20.30.12345", "Version 10.20 [10.20.30.12345]"},
      {"2.5.0.0007", "Version 2.5 [2.5.0.0007]"},
      {"3.1", "Version 3.1 [3.1.0.0000]"},
      {"4", "Version 4.0 [4.0.0.0000]"},
      {"1.2.3.4.5", "Version 1.2 [1.2.3.0004]"},
  };
  for (const auto& [version, line] : cases) EXPECT_EQ(VersionLineText(version), line) << version;
}

TEST(VersionLineText, TheProgramsVersionIsTheBuilds) {
  EXPECT_EQ(FileVersionText(), VELKARO_VERSION);
  EXPECT_NE(FileVersionText(), "");
}

TEST(CompileDateText, TurnsTheCompilersDateIntoDayMonthYear) {
  struct Case {
    const char* date;
    const char* time;
    const char* text;
  };
  const Case cases[] = {
      {"Jan  3 2011", "10:45:44", "03.01.2011 10:45:44"},
      {"Dec 31 1999", "23:59:59", "31.12.1999 23:59:59"},
      {"Oct 15 2024", "08:05:09", "15.10.2024 08:05:09"},
      {"Sep  9 2009", "00:00:00", "09.09.2009 00:00:00"},
      {"Xyz  1 2000", "12:00:00", ""},
      {"anJ  1 2000", "12:00:00", ""},
      {"Jan 1 2000", "12:00:00", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CompileDateText(c.date, c.time), c.text) << c.date;
  const QRegularExpression form(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
  EXPECT_TRUE(form.match(QString::fromStdString(TCompileInfo::CompileDate())).hasMatch())
      << TCompileInfo::CompileDate();
}

TEST(SystemTexts, TwoDigitForm) {
  const std::pair<int, const char*> cases[] = {{0, "0"},   {1, "01"},  {9, "09"},
                                               {10, "10"}, {99, "99"}, {123, "123"}};
  for (const auto& [number, text] : cases) EXPECT_EQ(TwoDigit(number), text) << number;
}

TEST(SystemTexts, OperatingSystemLine) {
  EXPECT_EQ(OsVersionText("", 6, 1, 0, "-18-amd64"),
            "Unbekanntes System Version 6.01 [Build 0-18-amd64]");
  EXPECT_EQ(OsVersionText("Debian GNU/Linux 12 (bookworm), Linux", 5, 10, 7, ""),
            "Debian GNU/Linux 12 (bookworm), Linux Version 5.10 [Build 07]");
  EXPECT_EQ(OsVersionText("Linux", 4, 0, 2600, " Service Pack 3"),
            "Linux Version 4.0 [Build 2600 Service Pack 3]");
}

TEST(SystemTexts, KernelReleaseAndDistribution) {
  struct Case {
    const char* release;
    bool ok;
    int major, minor, build;
    const char* rest;
  };
  const Case cases[] = {
      {"6.1.0-18-amd64", true, 6, 1, 0, "-18-amd64"},
      {"5.15.133", true, 5, 15, 133, ""},
      {"4.19", true, 4, 19, 0, ""},
      {"6.8.0-rc1+", true, 6, 8, 0, "-rc1+"},
      {"6.5.x", true, 6, 5, 0, ".x"},
      {"", false, 0, 0, 0, ""},
      {"v6.1", false, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    int major = -1, minor = -1, build = -1;
    std::string rest = "unset";
    EXPECT_EQ(ParseKernelRelease(c.release, &major, &minor, &build, &rest), c.ok) << c.release;
    if (!c.ok) continue;
    EXPECT_EQ(major, c.major) << c.release;
    EXPECT_EQ(minor, c.minor) << c.release;
    EXPECT_EQ(build, c.build) << c.release;
    EXPECT_EQ(rest, c.rest) << c.release;
  }
  EXPECT_EQ(OsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                          "(bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(OsReleaseName("NAME='Alpine Linux'\nID=alpine\n"), "Alpine Linux");
  EXPECT_EQ(OsReleaseName("PRETTY_NAME=Plain\n"), "Plain");
  EXPECT_EQ(OsReleaseName(""), "");
}

TEST(SystemTexts, KernelMemoryValuesAndTheirSizeText) {
  const std::string meminfo =
      "MemTotal:        8388608 kB\nMemFree:          123456 kB\nMemAvailable:    4194304 kB\n"
      "SwapTotal:             0 kB\nSwapFree: 17 kB";
  EXPECT_EQ(KernelKiloBytes(meminfo, "MemTotal"), 8589934592);
  EXPECT_EQ(KernelKiloBytes(meminfo, "MemAvailable"), 4294967296);
  EXPECT_EQ(KernelKiloBytes(meminfo, "SwapTotal"), 0);
  EXPECT_EQ(KernelKiloBytes(meminfo, "SwapFree"), 17408);
  EXPECT_EQ(KernelKiloBytes(meminfo, "Mem"), -1);
  EXPECT_EQ(KernelKiloBytes(meminfo, "VmSize"), -1);
  EXPECT_EQ(TMyTools(".").SizeText(8589934592), "8.192 MByte");
}

TEST(SystemTexts, ProcessorAndScreen) {
  const std::pair<const char*, const char*> machines[] = {
      {"x86_64", "Pentium o. kompat."},
      {"i686", "Intel Pentium (II)"},
      {"i586", "Pentium o. kompat."},
      {"i486", "i486"},
      {"i386", "i386"},
      {"mips64", "MIPS R4000"},
      {"alpha", "ALPHA 21064"},
      {"x86", "Unbekannt - Intel Architektur"},
      {"aarch64", "Unbekannt"},
      {"riscv64", "Unbekannt"},
  };
  for (const auto& [machine, text] : machines) {
    EXPECT_EQ(ProcessorTypeText(ProcessorTypeOfMachine(machine)), text) << machine;
  }
  EXPECT_EQ(ProcessorTypeText(860), "Intel 860");
  EXPECT_EQ(ProcessorTypeText(2000), "MIPS R2000");
  EXPECT_EQ(ProcessorTypeText(3000), "MIPS R3000");
  EXPECT_EQ(ProcessorTypeText(8664), "Unbekannt");
  EXPECT_EQ(ScreenText(1920, 1080, 24), "1920x1080; 24Bits/Pixel");
  EXPECT_EQ(ScreenText(800, 600, -1), "800x600");
}

// Made-up machine values; tests change them between refreshes.
class FakeProbe : public SystemProbe {
 public:
  explicit FakeProbe(RawSystemInfo* info) : info_(info) {}
  RawSystemInfo Read() override { return *info_; }

 private:
  RawSystemInfo* info_;
};

RawSystemInfo SampleMachine() {
  RawSystemInfo info;
  info.now = QDateTime(QDate(2011, 1, 3), QTime(10, 45, 44));
  info.memoryLoadPercent = 37;
  info.totalPhys = 8589934592;
  info.availPhys = 5411658752;
  info.totalPageFile = 2147483648;
  info.availPageFile = 999999;
  info.totalVirtual = std::int64_t{1} << 47;
  info.availVirtual = (std::int64_t{1} << 47) - 1000000;
  info.computerName = "werkstatt";
  info.userName = "anna";
  info.systemName = "Debian GNU/Linux 12 (bookworm), Linux";
  info.versionKnown = true;
  info.major = 6;
  info.minor = 1;
  info.build = 0;
  info.servicePack = "-18-amd64";
  info.processorType = 586;
  info.processorCount = 4;
  info.screenWidth = 1920;
  info.screenHeight = 1080;
  info.screenBitsPerPixel = 24;
  return info;
}

class SystemInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
  RawSystemInfo machine_ = SampleMachine();
};

TEST_F(SystemInfoTest, RefreshFormatsEveryValueAndSignalsOnlyChanges) {
  TSystemInfo info(nullptr, std::make_unique<FakeProbe>(&machine_));
  QSignalSpy spy(&info, &TSystemInfo::OnNewValues);
  EXPECT_EQ(info.ComputerName(), "");  // nothing before the first refresh
  EXPECT_TRUE(info.Timer()->isActive());
  EXPECT_EQ(info.Timer()->interval(), 1000);

  info.Refresh();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), &info);
  EXPECT_EQ(info.CurrentDate(), "03.01.11");
  EXPECT_EQ(info.CurrentTime(), "10:45");
  EXPECT_EQ(info.MemLoadPercent(), "37");
  EXPECT_EQ(info.TotalPhys(), "8.192 MByte");
  EXPECT_EQ(info.AvailPhys(), "5.160 MByte");
  EXPECT_EQ(info.TotalPageFile(), "2.048 MByte");
  EXPECT_EQ(info.AvailPageFile(), "999.999 Byte");
  EXPECT_EQ(info.TotalVirtual(), "134.217.728 MByte");
  EXPECT_EQ(info.AvailVirtual(), "134.217.727 MByte");
  EXPECT_EQ(info.ComputerName(), "werkstatt");
  EXPECT_EQ(info.UserName(), "anna");
  EXPECT_EQ(info.OS(), "Debian GNU/Linux 12 (bookworm), Linux");
  EXPECT_EQ(info.WinVersion(), "6.01");
  EXPECT_EQ(info.WinBuild(), "0-18-amd64");
  EXPECT_EQ(info.FullWinVersion(),
            "Debian GNU/Linux 12 (bookworm), Linux Version 6.01 [Build 0-18-amd64]");
  EXPECT_EQ(info.CPU(), "Pentium o. kompat.");
  EXPECT_EQ(info.NumCPUs(), "4");
  EXPECT_EQ(info.ScreenWidth(), "1920");
  EXPECT_EQ(info.ScreenHeight(), "1080");
  EXPECT_EQ(info.WinDir(), "");
  EXPECT_TRUE(info.Timer()->isActive());

  info.Refresh();
  EXPECT_EQ(spy.count(), 1);  // nothing changed

  machine_.availPhys = std::int64_t{1048576} * 4000;
  info.Refresh();
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(info.AvailPhys(), "4.000 MByte");

  // Unreadable values give empty texts.
  machine_ = RawSystemInfo{};
  info.Refresh();
  EXPECT_EQ(spy.count(), 3);
  EXPECT_EQ(info.TotalPhys(), "");
  EXPECT_EQ(info.FullWinVersion(), "");
  EXPECT_EQ(info.CPU(), "");
  EXPECT_EQ(info.CurrentDate(), "");
}

TEST_F(SystemInfoTest, EnabledRunsTheTimer) {
  TSystemInfo info(nullptr, std::make_unique<FakeProbe>(&machine_));
  info.SetEnabled(false);
  EXPECT_FALSE(info.Timer()->isActive());
  info.Refresh();
  EXPECT_FALSE(info.Timer()->isActive());
  info.SetEnabled(true);
  EXPECT_TRUE(info.Timer()->isActive());
}

class RecordingLauncher : public Launcher {
 public:
  bool OpenUrl(const QUrl& url) override {
    opened.push_back(url.toString());
    return true;
  }
  bool StartDetached(const QString& program, const QList<QByteArray>&) override {
    opened.push_back(program);
    return true;
  }
  std::vector<QString> opened;
};

class AboutDlgTest : public SystemInfoTest {
 protected:
  void SetUp() override {
    SystemInfoTest::SetUp();
    SetLauncher(&launcher_);
  }
  void TearDown() override {
    SetLauncher(nullptr);
    SystemInfoTest::TearDown();
  }
  std::unique_ptr<TAboutDlg> MakeDialog() {
    return std::make_unique<TAboutDlg>(nullptr, std::make_unique<FakeProbe>(&machine_), [this] {
      ++clockMeasures_;
      return 2394.4;
    });
  }
  QString Value(TAboutDlg& dlg, const char* name) {
    QLabel* label = dlg.ValueLabel(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label ? label->text() : QString();
  }

  RecordingLauncher launcher_;
  int clockMeasures_ = 0;
};

TEST_F(AboutDlgTest, OpensOnTheVersionPage) {
  auto dlg = MakeDialog();
  dlg->show();
  EXPECT_EQ(dlg->windowTitle(), "Über Velkaro");
  EXPECT_EQ(dlg->TabSet()->count(), 2);
  EXPECT_EQ(dlg->TabSet()->tabText(0), " Version ");
  EXPECT_EQ(dlg->TabSet()->tabText(1), " Systeminformation ");
  EXPECT_EQ(dlg->Pages()->currentIndex(), 0);
  EXPECT_EQ(Value(*dlg, "Version"), QString::fromStdString(VersionLineText(VELKARO_VERSION)));
  EXPECT_EQ(Value(*dlg, "Build"), "vom " + QString::fromStdString(TCompileInfo::CompileDate()));
  EXPECT_EQ(dlg->findChild<QLabel*>("ProductName")->text(), "Velkaro");
  EXPECT_TRUE(dlg->findChild<QLabel*>("ProductName")->font().bold());
  EXPECT_EQ(dlg->findChild<QLabel*>("FeedbackHeading")->text(),
            "Fehler und Verbesserungsvorschläge:");
  EXPECT_EQ(dlg->CloseBtn()->text(), "Schließen");
  EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());

  QTest::mouseClick(dlg->TabSet(), Qt::LeftButton, Qt::NoModifier,
                    dlg->TabSet()->tabRect(1).center());
  EXPECT_EQ(dlg->Pages()->currentIndex(), 1);
  dlg->hide();
  dlg->show();
  EXPECT_EQ(dlg->Pages()->currentIndex(), 0);
  EXPECT_EQ(dlg->TabSet()->currentIndex(), 0);
}

TEST_F(AboutDlgTest, SystemPageShowsNaFirstThenTheValuesWithTheClockMeasuredOnce) {
  auto dlg = MakeDialog();
  dlg->show();
  EXPECT_EQ(Value(*dlg, "ComputerName"), "n/a");
  EXPECT_EQ(Value(*dlg, "CPU"), "");
  EXPECT_EQ(Value(*dlg, "Screen"), "");
  EXPECT_EQ(clockMeasures_, 0);

  dlg->SystemInformation()->Refresh();
  EXPECT_EQ(Value(*dlg, "WinVersion"),
            "Debian GNU/Linux 12 (bookworm), Linux Version 6.01 [Build 0-18-amd64]");
  EXPECT_EQ(Value(*dlg, "ComputerName"), "werkstatt");
  EXPECT_EQ(Value(*dlg, "UserName"), "anna");
  EXPECT_EQ(Value(*dlg, "Screen"), "1920x1080; 24Bits/Pixel");
  EXPECT_EQ(Value(*dlg, "CPU"), "Pentium o. kompat.  2394 MHz");
  EXPECT_EQ(Value(*dlg, "NumCPUs"), "4");
  EXPECT_EQ(Value(*dlg, "TotalPhys"), "8.192 MByte");
  EXPECT_EQ(Value(*dlg, "AvailPhys"), "5.160 MByte");
  EXPECT_EQ(Value(*dlg, "MemLoad"), "37 %");
  EXPECT_EQ(Value(*dlg, "TotalVirtual"), "134.217.728 MByte");
  EXPECT_EQ(Value(*dlg, "AvailVirtual"), "134.217.727 MByte");
  EXPECT_EQ(Value(*dlg, "TotalPageFile"), "2.048 MByte");
  EXPECT_EQ(Value(*dlg, "AvailPageFile"), "999.999 Byte");
  EXPECT_EQ(clockMeasures_, 1);

  machine_.availPhys = std::int64_t{1048576} * 4000;
  machine_.memoryLoadPercent = 51;
  dlg->SystemInformation()->Refresh();
  EXPECT_EQ(Value(*dlg, "AvailPhys"), "4.000 MByte");
  EXPECT_EQ(Value(*dlg, "MemLoad"), "51 %");
  EXPECT_EQ(Value(*dlg, "CPU"), "Pentium o. kompat.  2394 MHz");
  EXPECT_EQ(clockMeasures_, 1);

  // A new opening measures anew.
  auto second = MakeDialog();
  second->show();
  second->SystemInformation()->Refresh();
  EXPECT_EQ(clockMeasures_, 2);
}

TEST_F(AboutDlgTest, NoClockWithoutPentium) {
  machine_.processorType = 1;
  auto dlg = MakeDialog();
  dlg->show();
  dlg->SystemInformation()->Refresh();
  EXPECT_EQ(Value(*dlg, "CPU"), "Unbekannt");
  machine_.processorType = 686;
  dlg->SystemInformation()->Refresh();
  EXPECT_EQ(Value(*dlg, "CPU"), "Intel Pentium (II)  2394 MHz");
  EXPECT_EQ(clockMeasures_, 1);
}

TEST_F(AboutDlgTest, LinksShowTheirAddressChangeOnHoverAndOpen) {
  auto dlg = MakeDialog();
  dlg->show();
  auto* forum = dlg->findChild<TLinkLabel*>("SupportForumLink");
  auto* home = dlg->findChild<TLinkLabel*>("HomePageLink");
  ASSERT_NE(forum, nullptr);
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(forum->text(), "Support-Forum");
  EXPECT_EQ(home->text(), "Velkaro im WWW");
  EXPECT_EQ(forum->toolTip(), kSupportForumAddress);
  EXPECT_EQ(home->toolTip(), kHomePageAddress);

  EXPECT_FALSE(forum->font().underline());
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(forum, &enter);
  EXPECT_TRUE(forum->Hovered());
  EXPECT_TRUE(forum->font().underline());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(forum, &leave);
  EXPECT_FALSE(forum->font().underline());

  QTest::mouseClick(forum, Qt::LeftButton);
  QTest::mouseClick(home, Qt::RightButton);
  QTest::mouseClick(home, Qt::LeftButton);
  EXPECT_EQ(launcher_.opened,
            (std::vector<QString>{"https://velkaro.example/forum", "https://velkaro.example/"}));
}

TEST_F(AboutDlgTest, SchliessenAndEscapeClose) {
  auto dlg = MakeDialog();
  dlg->show();
  QTest::mouseClick(dlg->CloseBtn(), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  dlg->show();
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
}  // namespace vk
