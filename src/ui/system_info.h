// TSystemInfo: the computer's values for the about dialog's system page, as texts, refreshed
// once a second while Enabled; OnNewValues is raised when a refresh changed any text. What the
// machine reports comes through a SystemProbe (the real one reads the kernel's files), so the
// formatting is the same everywhere and testable with made-up values.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vk {

// What the machine reports; -1 (or empty) where a value cannot be read.
struct RawSystemInfo {
  QDateTime now;
  int memoryLoadPercent = -1;
  std::int64_t totalPhys = -1, availPhys = -1;
  std::int64_t totalPageFile = -1, availPageFile = -1;  // swap
  std::int64_t totalVirtual = -1, availVirtual = -1;    // the process's address space
  std::string computerName;
  std::string userName;
  std::string systemName;     // "Debian GNU/Linux 12 (bookworm), Linux"; empty: unknown
  bool versionKnown = false;  // the kernel's version numbers below could be read
  int major = 0, minor = 0, build = 0;
  std::string servicePack;  // what follows the numbers, e.g. "-18-amd64"
  int processorType = -1;   // a number of the processor table
  int processorCount = -1;
  int screenWidth = -1, screenHeight = -1, screenBitsPerPixel = -1;
  std::string winDir, sysDir;  // no such folders on Linux: empty
};

class SystemProbe {
 public:
  virtual ~SystemProbe() = default;
  virtual RawSystemInfo Read() = 0;
};

// The probe of this machine: /proc/meminfo, /proc/self/status, uname, /etc/os-release,
// gethostname, the password database, the primary screen.
std::unique_ptr<SystemProbe> MakeMachineProbe();

// "01" for 1, "0" for 0, "10" for 10: a single digit other than 0 gets a leading "0".
std::string TwoDigit(int number);
// name " Version " major "." TwoDigit(minor) " [Build " TwoDigit(build) servicePack "]";
// an empty name reads "Unbekanntes System".
std::string OsVersionText(std::string_view name, int major, int minor, int build,
                          std::string_view servicePack);
// The processor table: 586 "Pentium o. kompat.", 8664 and any other unknown number "Unbekannt".
std::string ProcessorTypeText(int type);
// The table number for a machine name of uname: x86_64/i586 586, i686 686, i486 486, i386
// 386, MIPS 4000, Alpha 21064; 0 for another x86; 1 (outside the table: "Unbekannt") for
// anything else.
int ProcessorTypeOfMachine(std::string_view machine);
// "6.1.0-18-amd64" -> 6, 1, 0, "-18-amd64"; false when it does not start with a number.
bool ParseKernelRelease(std::string_view release, int* major, int* minor, int* build,
                        std::string* rest);
// PRETTY_NAME of an os-release file (quotes removed), else NAME, else empty.
std::string OsReleaseName(std::string_view osRelease);
// A "Key:   123 kB" value of /proc/meminfo or /proc/self/status in bytes; -1 when missing.
std::int64_t KernelKiloBytes(std::string_view content, std::string_view key);
// "1920x1080", with "; 24Bits/Pixel" when the depth is known.
std::string ScreenText(int width, int height, int bitsPerPixel);

// The processor clock in MHz: the cycle counter over half a second. 0 where there is none.
double MeasureCpuClock();

class TSystemInfo : public QObject {
  Q_OBJECT

 public:
  // `probe` null: the machine's own. The first refresh runs one second after creation.
  explicit TSystemInfo(QObject* parent = nullptr, std::unique_ptr<SystemProbe> probe = nullptr);
  ~TSystemInfo() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Gathers all values now; raises OnNewValues when a text changed. The timer calls it.
  void Refresh();

  const QString& CurrentDate() const { return values_[kCurrentDate]; }
  const QString& CurrentTime() const { return values_[kCurrentTime]; }
  const QString& MemLoadPercent() const { return values_[kMemLoadPercent]; }
  const QString& TotalPhys() const { return values_[kTotalPhys]; }
  const QString& AvailPhys() const { return values_[kAvailPhys]; }
  const QString& TotalPageFile() const { return values_[kTotalPageFile]; }
  const QString& AvailPageFile() const { return values_[kAvailPageFile]; }
  const QString& TotalVirtual() const { return values_[kTotalVirtual]; }
  const QString& AvailVirtual() const { return values_[kAvailVirtual]; }
  const QString& ComputerName() const { return values_[kComputerName]; }
  const QString& UserName() const { return values_[kUserName]; }
  const QString& OS() const { return values_[kOS]; }
  const QString& WinVersion() const { return values_[kWinVersion]; }
  const QString& WinBuild() const { return values_[kWinBuild]; }
  const QString& FullWinVersion() const { return values_[kFullWinVersion]; }
  const QString& CPU() const { return values_[kCPU]; }
  const QString& NumCPUs() const { return values_[kNumCPUs]; }
  const QString& ScreenHeight() const { return values_[kScreenHeight]; }
  const QString& ScreenWidth() const { return values_[kScreenWidth]; }
  const QString& ScreenBitsPerPixel() const { return values_[kScreenBitsPerPixel]; }
  const QString& WinDir() const { return values_[kWinDir]; }
  const QString& SysDir() const { return values_[kSysDir]; }

  QTimer* Timer() { return &timer_; }

 signals:
  void OnNewValues(QObject* sender);

 private:
  enum Value {
    kCurrentDate,
    kCurrentTime,
    kMemLoadPercent,
    kTotalPhys,
    kAvailPhys,
    kTotalPageFile,
    kAvailPageFile,
    kTotalVirtual,
    kAvailVirtual,
    kComputerName,
    kUserName,
    kOS,
    kWinVersion,
    kWinBuild,
    kFullWinVersion,
    kCPU,
    kNumCPUs,
    kScreenHeight,
    kScreenWidth,
    kScreenBitsPerPixel,
    kWinDir,
    kSysDir,
    kValueCount
  };

  std::unique_ptr<SystemProbe> probe_;
  std::array<QString, kValueCount> values_;
  QTimer timer_;
  bool enabled_ = true;
  bool destroying_ = false;
};

}  // namespace vk
