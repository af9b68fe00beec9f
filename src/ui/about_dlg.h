// TAboutDlg: "Über Velkaro". The version page shows the program's name, version line, build
// date and the two feedback links; the system page shows TSystemInfo's values, refreshed while
// the dialog is open. The processor clock is measured once per opening, and only for a
// processor text containing "Pentium".
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "ui/system_info.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace vk {

class TLinkLabel;

// The addresses of the two feedback links.
inline const QString kSupportForumAddress = QStringLiteral("https://velkaro.example/forum");
inline const QString kHomePageAddress = QStringLiteral("https://velkaro.example/");

class TAboutDlg : public QDialog {
  Q_OBJECT

 public:
  // `probe` null: this machine. `measureClock` gives the processor clock in MHz.
  explicit TAboutDlg(QWidget* parent = nullptr, std::unique_ptr<SystemProbe> probe = nullptr,
                     std::function<double()> measureClock = MeasureCpuClock);

  QTabBar* TabSet() const { return tabSet_; }
  QStackedWidget* Pages() const { return pages_; }
  QPushButton* CloseBtn() const { return closeBtn_; }
  TSystemInfo* SystemInformation() const { return systemInformation_; }
  // A value label of the system page by its name: "WinVersion", "ComputerName", "UserName",
  // "Screen", "CPU", "NumCPUs", "TotalPhys", "AvailPhys", "MemLoad", "TotalVirtual",
  // "AvailVirtual", "TotalPageFile", "AvailPageFile"; or of the version page: "Version",
  // "Build". Null for another name.
  QLabel* ValueLabel(const QString& name) const;

 public slots:
  void TabSetClick(int index);
  // Copies TSystemInfo's values into the system page.
  void SystemInformationNewValues();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  QWidget* BuildVersionPage();
  QWidget* BuildSystemPage();

  std::function<double()> measureClock_;
  QString clockText_;  // measured at the first display of a "Pentium" processor text
  TSystemInfo* systemInformation_;
  QTabBar* tabSet_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QPushButton* closeBtn_ = nullptr;
  QLabel* versionLabel_ = nullptr;
  QLabel* buildLabel_ = nullptr;
};

}  // namespace vk
