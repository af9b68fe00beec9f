#include "ui/system_info.h"

#include <pwd.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "engine/my_tools.h"
#include "engine/texts.h"

namespace vk {
namespace {

// A text of the system information in the user's language.
std::string Text(const char* source) {
  return QCoreApplication::translate("vk::TSystemInfo", source).toStdString();
}

std::string ReadSmallFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The user part of the address space when no limit is set: what the usual kernels give a
// process on each kind of machine.
std::int64_t AddressSpaceSize() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    return static_cast<std::int64_t>(limit.rlim_cur);
  }
#if defined(__aarch64__)
  return std::int64_t{1} << 48;
#elif UINTPTR_MAX > 0xFFFFFFFFu
  return std::int64_t{1} << 47;
#else
  return std::int64_t{3} << 30;
#endif
}

class MachineProbe : public SystemProbe {
 public:
  RawSystemInfo Read() override {
    RawSystemInfo info;
    info.now = QDateTime::currentDateTime();

    const std::string meminfo = ReadSmallFile("/proc/meminfo");
    info.totalPhys = KernelKiloBytes(meminfo, "MemTotal");
    info.availPhys = KernelKiloBytes(meminfo, "MemAvailable");
    if (info.availPhys < 0) info.availPhys = KernelKiloBytes(meminfo, "MemFree");
    if (info.totalPhys > 0 && info.availPhys >= 0 && info.availPhys <= info.totalPhys) {
      info.memoryLoadPercent =
          static_cast<int>((info.totalPhys - info.availPhys) * 100 / info.totalPhys);
    }
    info.totalPageFile = KernelKiloBytes(meminfo, "SwapTotal");
    info.availPageFile = KernelKiloBytes(meminfo, "SwapFree");
    info.totalVirtual = AddressSpaceSize();
    const std::int64_t used = KernelKiloBytes(ReadSmallFile("/proc/self/status"), "VmSize");
    if (used >= 0) info.availVirtual = std::max<std::int64_t>(0, info.totalVirtual - used);

    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) info.computerName = host;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) {
      info.userName = pw->pw_name;
    } else if (const char* user = std::getenv("USER")) {
      info.userName = user;
    }

    struct utsname uts;
    if (::uname(&uts) == 0) {
      const std::string distribution = OsReleaseName(ReadSmallFile("/etc/os-release"));
      info.systemName =
          distribution.empty() ? std::string(uts.sysname) : distribution + ", " + uts.sysname;
      info.versionKnown =
          ParseKernelRelease(uts.release, &info.major, &info.minor, &info.build, &info.servicePack);
      info.processorType = ProcessorTypeOfMachine(uts.machine);
    }
    const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    info.processorCount = cpus > 0 ? static_cast<int>(cpus) : -1;

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const qreal ratio = screen->devicePixelRatio();
      info.screenWidth = static_cast<int>(std::lround(screen->geometry().width() * ratio));
      info.screenHeight = static_cast<int>(std::lround(screen->geometry().height() * ratio));
      info.screenBitsPerPixel = screen->depth();
    }
    return info;
  }
};

QString Size(std::int64_t bytes) {
  return bytes < 0 ? QString() : QString::fromStdString(MyTools().SizeText(bytes));
}

QString Number(int value) { return value < 0 ? QString() : QString::number(value); }

}  // namespace

std::unique_ptr<SystemProbe> MakeMachineProbe() { return std::make_unique<MachineProbe>(); }

std::string TwoDigit(int number) {
  const std::string digits = std::to_string(number);
  return number >= 1 && number <= 9 ? "0" + digits : digits;
}

std::string OsVersionText(std::string_view name, int major, int minor, int build,
                          std::string_view servicePack) {
  const std::string system = name.empty()
                                 ? Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "Unbekanntes System"))
                                 : std::string(name);
  // %1 the system, %2 major.minor, %3 the build and its service pack.
  return FormatText(Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "%1 Version %2 [Build %3]")),
                    {system, std::to_string(major) + "." + TwoDigit(minor),
                     TwoDigit(build) + std::string(servicePack)});
}

std::string ProcessorTypeText(int type) {
  switch (type) {
    case 0:
      return Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "Unbekannt - Intel Architektur"));
    case 386:
      return "i386";
    case 486:
      return "i486";
    case 586:
      return Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "Pentium o. kompat."));
    case 686:
      return "Intel Pentium (II)";
    case 860:
      return "Intel 860";
    case 2000:
      return "MIPS R2000";
    case 3000:
      return "MIPS R3000";
    case 4000:
      return "MIPS R4000";
    case 21064:
      return "ALPHA 21064";
    default:
      return Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "Unbekannt"));
  }
}

int ProcessorTypeOfMachine(std::string_view machine) {
  // A 64-bit x86 processor runs everything written for the Pentium: it is reported as one.
  if (machine == "x86_64" || machine == "amd64" || machine == "i586") return 586;
  if (machine == "i686") return 686;
  if (machine == "i486") return 486;
  if (machine == "i386") return 386;
  if (machine == "x86") return 0;
  if (machine.substr(0, 4) == "mips") return 4000;
  if (machine.substr(0, 5) == "alpha") return 21064;
  return 1;  // outside the table
}

bool ParseKernelRelease(std::string_view release, int* major, int* minor, int* build,
                        std::string* rest) {
  std::size_t pos = 0;
  auto number = [&](int* out) {
    const std::size_t start = pos;
    long value = 0;
    while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9' && pos - start < 9) {
      value = value * 10 + (release[pos] - '0');
      ++pos;
    }
    *out = static_cast<int>(value);
    return pos > start;
  };
  *major = *minor = *build = 0;
  if (!number(major)) return false;
  for (int* part : {minor, build}) {
    if (pos + 1 < release.size() && release[pos] == '.' && release[pos + 1] >= '0' &&
        release[pos + 1] <= '9') {
      ++pos;
      number(part);
    }
  }
  *rest = std::string(release.substr(pos));
  return true;
}

std::string OsReleaseName(std::string_view osRelease) {
  std::string pretty, name;
  std::istringstream lines{std::string(osRelease)};
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    const std::string key = line.substr(0, eq);
    if (key == "PRETTY_NAME") pretty = value;
    if (key == "NAME") name = value;
  }
  return pretty.empty() ? name : pretty;
}

std::int64_t KernelKiloBytes(std::string_view content, std::string_view key) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t end = std::min(content.find('\n', pos), content.size());
    const std::string_view line = content.substr(pos, end - pos);
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
      std::int64_t value = 0;
      bool digits = false;
      for (char c : line.substr(key.size() + 1)) {
        if (c >= '0' && c <= '9') {
          value = value * 10 + (c - '0');
          digits = true;
        } else if (digits) {
          break;
        }
      }
      return digits ? value * 1024 : -1;
    }
    pos = end + 1;
  }
  return -1;
}

std::string ScreenText(int width, int height, int bitsPerPixel) {
  std::string text = std::to_string(width) + "x" + std::to_string(height);
  if (bitsPerPixel > 0) {
    text += FormatText(Text(QT_TRANSLATE_NOOP("vk::TSystemInfo", "; %1Bits/Pixel")),
                       {std::to_string(bitsPerPixel)});
  }
  return text;
}

double MeasureCpuClock() {
#if defined(__x86_64__) || defined(__i386__)
  using Clock = std::chrono::steady_clock;
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const Clock::time_point start = Clock::now();
  const unsigned long long first = __rdtsc();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const unsigned long long second = __rdtsc();
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  // Cycles per microsecond over the pause as it really lasted (a sleep may run long).
  return micros > 0 ? static_cast<double>(second - first) / static_cast<double>(micros) : 0.0;
#else
  return 0.0;
#endif
}

TSystemInfo::TSystemInfo(QObject* parent, std::unique_ptr<SystemProbe> probe)
    : QObject(parent), probe_(probe ? std::move(probe) : MakeMachineProbe()) {
  timer_.setInterval(1000);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &TSystemInfo::Refresh);
  timer_.start();
}

TSystemInfo::~TSystemInfo() {
  destroying_ = true;
  timer_.stop();
}

void TSystemInfo::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

void TSystemInfo::Refresh() {
  timer_.stop();
  const RawSystemInfo raw = probe_->Read();
  const QLocale locale;
  std::array<QString, kValueCount> fresh;
  if (raw.now.isValid()) {
    fresh[kCurrentDate] = locale.toString(raw.now.date(), QLocale::ShortFormat);
    fresh[kCurrentTime] = locale.toString(raw.now.time(), QLocale::ShortFormat);
  }
  fresh[kMemLoadPercent] = Number(raw.memoryLoadPercent);
  fresh[kTotalPhys] = Size(raw.totalPhys);
  fresh[kAvailPhys] = Size(raw.availPhys);
  fresh[kTotalPageFile] = Size(raw.totalPageFile);
  fresh[kAvailPageFile] = Size(raw.availPageFile);
  fresh[kTotalVirtual] = Size(raw.totalVirtual);
  fresh[kAvailVirtual] = Size(raw.availVirtual);
  fresh[kComputerName] = QString::fromStdString(raw.computerName);
  fresh[kUserName] = QString::fromStdString(raw.userName);
  if (raw.versionKnown) {
    fresh[kOS] = QString::fromStdString(raw.systemName);
    fresh[kWinVersion] =
        QString::fromStdString(std::to_string(raw.major) + "." + TwoDigit(raw.minor));
    fresh[kWinBuild] = QString::fromStdString(TwoDigit(raw.build) + raw.servicePack);
    fresh[kFullWinVersion] = QString::fromStdString(
        OsVersionText(raw.systemName, raw.major, raw.minor, raw.build, raw.servicePack));
  }
  if (raw.processorType >= 0) {
    fresh[kCPU] = QString::fromStdString(ProcessorTypeText(raw.processorType));
  }
  fresh[kNumCPUs] = Number(raw.processorCount);
  fresh[kScreenHeight] = Number(raw.screenHeight);
  fresh[kScreenWidth] = Number(raw.screenWidth);
  fresh[kScreenBitsPerPixel] = Number(raw.screenBitsPerPixel);
  fresh[kWinDir] = QString::fromStdString(raw.winDir);
  fresh[kSysDir] = QString::fromStdString(raw.sysDir);

  const bool changed = fresh != values_;
  values_ = std::move(fresh);
  if (changed) emit OnNewValues(this);
  if (enabled_ && !destroying_) timer_.start();
}

}  // namespace vk
