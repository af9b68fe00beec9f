#include "ui/about_dlg.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/link_label.h"
#include "ui/version_info.h"

namespace vk {
namespace {

QLabel* Named(QLabel* label, const QString& name) {
  label->setObjectName(name);
  return label;
}

// A value label wide enough for `widest`, so that the fixed-size dialog is laid out for the
// longest values before it shows any and never cuts one off.
QLabel* ValueField(const QString& name, const QString& widest = QString()) {
  auto* label = new QLabel;
  label->setObjectName(name + QStringLiteral("Value"));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (!widest.isEmpty()) label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest));
  return label;
}

const QString kWidestSize = QStringLiteral("134.217.728 MByte");

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent, std::unique_ptr<SystemProbe> probe,
                     std::function<double()> measureClock)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      measureClock_(std::move(measureClock)),
      systemInformation_(new TSystemInfo(this, std::move(probe))) {
  setObjectName(QStringLiteral("TAboutDlg"));
  setWindowTitle(tr("Über Velkaro"));
  systemInformation_->setObjectName(QStringLiteral("SystemInformation"));

  pages_ = new QStackedWidget;
  pages_->setObjectName(QStringLiteral("Pages"));
  pages_->addWidget(BuildVersionPage());
  pages_->addWidget(BuildSystemPage());

  tabSet_ = new QTabBar;
  tabSet_->setObjectName(QStringLiteral("TabSet"));
  tabSet_->setShape(QTabBar::RoundedSouth);
  tabSet_->setDrawBase(false);
  tabSet_->addTab(tr(" Version "));
  tabSet_->addTab(tr(" Systeminformation "));
  connect(tabSet_, &QTabBar::currentChanged, this, &TAboutDlg::TabSetClick);

  closeBtn_ = new QPushButton(tr("Schließen"));
  closeBtn_->setObjectName(QStringLiteral("CloseBtn"));
  closeBtn_->setMinimumWidth(81);
  connect(closeBtn_, &QPushButton::clicked, this, &TAboutDlg::reject);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(tabSet_);
  bottom->addStretch();
  bottom->addWidget(closeBtn_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(pages_, 1);
  layout->addLayout(bottom);

  connect(systemInformation_, &TSystemInfo::OnNewValues, this,
          &TAboutDlg::SystemInformationNewValues);

  const QSize hint = sizeHint();
  setFixedSize(std::max(435, hint.width()), std::max(416, hint.height()));
  FormCreate();
}

QWidget* TAboutDlg::BuildVersionPage() {
  auto* page = new QFrame;
  page->setObjectName(QStringLiteral("VersionPage"));
  page->setFrameShape(QFrame::StyledPanel);

  auto* iconFrame = new QFrame;
  iconFrame->setObjectName(QStringLiteral("ProgramIcon"));
  iconFrame->setFrameShape(QFrame::Panel);
  iconFrame->setFrameShadow(QFrame::Raised);
  iconFrame->setLineWidth(2);
  iconFrame->setFixedSize(68, 68);
  auto* icon = new QLabel(iconFrame);
  icon->setAlignment(Qt::AlignCenter);
  icon->setGeometry(4, 4, 60, 60);
  QIcon programIcon = QApplication::windowIcon();
  if (programIcon.isNull()) programIcon = style()->standardIcon(QStyle::SP_ComputerIcon);
  icon->setPixmap(programIcon.pixmap(48, 48));

  auto* product = Named(new QLabel(QStringLiteral("Velkaro")), QStringLiteral("ProductName"));
  QFont productFont = product->font();
  productFont.setBold(true);
  productFont.setPointSize(10);
  product->setFont(productFont);
  product->setStyleSheet(QStringLiteral("color: navy;"));
  versionLabel_ = Named(new QLabel, QStringLiteral("VersionValue"));
  buildLabel_ = Named(new QLabel, QStringLiteral("BuildValue"));

  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addWidget(product);
  texts->addWidget(versionLabel_);
  texts->addWidget(buildLabel_);
  texts->addStretch();

  auto* head = new QHBoxLayout;
  head->setSpacing(16);
  head->addWidget(iconFrame, 0, Qt::AlignTop);
  head->addLayout(texts, 1);

  auto* feedback = new QFrame;
  feedback->setObjectName(QStringLiteral("FeedbackPanel"));
  feedback->setAutoFillBackground(true);
  QPalette dark = feedback->palette();
  dark.setColor(QPalette::Window, QColor(0x33, 0x3a, 0x4d));
  dark.setColor(QPalette::WindowText, QColor(0xff, 0xff, 0xff));  // caption text
  feedback->setPalette(dark);
  auto* heading = Named(new QLabel(tr("Fehler und Verbesserungsvorschläge:")),
                        QStringLiteral("FeedbackHeading"));
  auto* forum = new TLinkLabel(tr("Support-Forum"), kSupportForumAddress);
  forum->setObjectName(QStringLiteral("SupportForumLink"));
  auto* home = new TLinkLabel(tr("Velkaro im WWW"), kHomePageAddress);
  home->setObjectName(QStringLiteral("HomePageLink"));
  auto* links = new QVBoxLayout(feedback);
  links->setContentsMargins(16, 10, 16, 12);
  links->setSpacing(6);
  links->addWidget(heading);
  links->addWidget(forum);
  links->addWidget(home);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->addLayout(head);
  layout->addStretch();
  layout->addWidget(feedback);
  return page;
}

QWidget* TAboutDlg::BuildSystemPage() {
  auto* page = new QFrame;
  page->setObjectName(QStringLiteral("SystemPage"));
  page->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  int row = 0;
  auto single = [&](const QString& caption, const QString& name, const QString& widest) {
    auto* label = new QLabel(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QLabel* value = ValueField(name, widest);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1, 1, 3);
    ++row;
    return value;
  };
  auto pair = [&](const QString& caption1, const QString& name1, const QString& widest1,
                  const QString& caption2, const QString& name2, const QString& widest2) {
    grid->addWidget(new QLabel(caption1), row, 0);
    grid->addWidget(ValueField(name1, widest1), row, 1);
    grid->addWidget(new QLabel(caption2), row, 2);
    grid->addWidget(ValueField(name2, widest2), row, 3);
    ++row;
  };
  QLabel* os = single(tr("Windows-Version:"), QStringLiteral("WinVersion"), {});
  os->setWordWrap(true);  // up to two lines
  os->setMinimumHeight(2 * os->fontMetrics().lineSpacing());
  os->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  single(tr("Computername:"), QStringLiteral("ComputerName"), {});
  single(tr("Angemeldet als:"), QStringLiteral("UserName"), {});
  single(tr("Bildschirm:"), QStringLiteral("Screen"), {});
  pair(tr("Prozessor:"), QStringLiteral("CPU"), QStringLiteral("Pentium o. kompat.  9999 MHz"),
       tr("Anzahl:"), QStringLiteral("NumCPUs"), QStringLiteral("9999"));
  pair(tr("Phys. Speicher total:"), QStringLiteral("TotalPhys"), kWidestSize, tr("verfügbar:"),
       QStringLiteral("AvailPhys"), kWidestSize);
  single(tr("Ausnutzung:"), QStringLiteral("MemLoad"), {});
  pair(tr("Virt. Speicher total:"), QStringLiteral("TotalVirtual"), kWidestSize, tr("verfügbar:"),
       QStringLiteral("AvailVirtual"), kWidestSize);
  pair(tr("für Auslag.datei total:"), QStringLiteral("TotalPageFile"), kWidestSize,
       tr("verfügbar:"), QStringLiteral("AvailPageFile"), kWidestSize);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(row, 1);
  return page;
}

QLabel* TAboutDlg::ValueLabel(const QString& name) const {
  return findChild<QLabel*>(name + QStringLiteral("Value"));
}

void TAboutDlg::FormCreate() { clockText_.clear(); }

void TAboutDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TAboutDlg::FormShow() {
  versionLabel_->setText(QString::fromStdString(VersionLineText(FileVersionText())));
  buildLabel_->setText(tr("vom %1").arg(QString::fromStdString(TCompileInfo::CompileDate())));
  tabSet_->setCurrentIndex(0);
  TabSetClick(0);
  SystemInformationNewValues();
}

void TAboutDlg::TabSetClick(int index) { pages_->setCurrentIndex(index); }

void TAboutDlg::SystemInformationNewValues() {
  const TSystemInfo& info = *systemInformation_;
  ValueLabel(QStringLiteral("WinVersion"))->setText(info.FullWinVersion());
  ValueLabel(QStringLiteral("ComputerName"))
      ->setText(info.ComputerName().isEmpty() ? tr("n/a") : info.ComputerName());
  ValueLabel(QStringLiteral("UserName"))->setText(info.UserName());

  QString screen;
  if (!info.ScreenWidth().isEmpty() && !info.ScreenHeight().isEmpty()) {
    screen = QString::fromStdString(
        ScreenText(info.ScreenWidth().toInt(), info.ScreenHeight().toInt(),
                   info.ScreenBitsPerPixel().isEmpty() ? -1 : info.ScreenBitsPerPixel().toInt()));
  }
  ValueLabel(QStringLiteral("Screen"))->setText(screen);

  QString cpu = info.CPU();
  if (cpu.contains(QStringLiteral("Pentium"))) {
    if (clockText_.isEmpty()) clockText_ = QString::asprintf(" %3.0f MHz", measureClock_());
    cpu += QLatin1Char(' ') + clockText_;
  }
  ValueLabel(QStringLiteral("CPU"))->setText(cpu);
  ValueLabel(QStringLiteral("NumCPUs"))->setText(info.NumCPUs());
  ValueLabel(QStringLiteral("TotalPhys"))->setText(info.TotalPhys());
  ValueLabel(QStringLiteral("AvailPhys"))->setText(info.AvailPhys());
  ValueLabel(QStringLiteral("MemLoad"))
      ->setText(info.MemLoadPercent().isEmpty() ? QString()
                                                : info.MemLoadPercent() + QStringLiteral(" %"));
  ValueLabel(QStringLiteral("TotalVirtual"))->setText(info.TotalVirtual());
  ValueLabel(QStringLiteral("AvailVirtual"))->setText(info.AvailVirtual());
  ValueLabel(QStringLiteral("TotalPageFile"))->setText(info.TotalPageFile());
  ValueLabel(QStringLiteral("AvailPageFile"))->setText(info.AvailPageFile());
}

}  // namespace vk
