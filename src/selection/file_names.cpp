#include "selection/file_names.h"

#include <unistd.h>

#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <cstdlib>

#include "engine/cp1252.h"
#include "engine/encoding.h"

namespace vk {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString NameText(std::string_view bytes) {
  if (IsWellFormedUtf8(bytes)) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return FromUtf8(Cp1252ToUtf8(bytes));
}

QString MixedText(std::string_view bytes) {
  if (IsWellFormedUtf8(bytes)) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  // Read as a UTF-8 page is read: a byte outside any well-formed sequence is its Windows-1252
  // character.
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    const Utf8PageChar c = Utf8PageCharAt(p, end);
    out += QString::fromUcs4(&c.code, 1);
    p += c.length;
  }
  return out;
}

QUrl FileUrl(std::string_view path) {
  if (IsWellFormedUtf8(path)) {
    return QUrl::fromLocalFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
  }
  // Every byte that is not plain ASCII path text is percent-encoded, so the URL carries the
  // bytes themselves whatever their encoding.
  return QUrl::fromEncoded("file://" + Bytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

std::string LocalPathOf(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

std::string CleanPath(std::string_view path) {
  std::string absolute;
  if (!path.starts_with('/')) {
    if (char* current = getcwd(nullptr, 0)) {
      absolute = current;
      std::free(current);
    }
    absolute += '/';
  }
  absolute += path;
  std::vector<std::string_view> parts;
  std::string_view rest = absolute;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string clean;
  for (const std::string_view part : parts) {
    clean += '/';
    clean += part;
  }
  return clean.empty() ? std::string("/") : clean;
}

std::vector<std::size_t> CollationOrder(const std::vector<std::string_view>& names,
                                        const QLocale& locale) {
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (names.size() < 2) return order;
  QCollator collator(locale);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  // Qt's sort keys of the C locale ignore the case setting; fold the case ourselves there.
  const bool foldFirst = locale.language() == QLocale::C;
  std::vector<QCollatorSortKey> keys;
  keys.reserve(names.size());
  for (const std::string_view name : names) {
    const QString text = NameText(name);
    keys.push_back(collator.sortKey(foldFirst ? text.toCaseFolded() : text));
  }
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int compared = keys[a].compare(keys[b]);
    return compared != 0 ? compared < 0 : names[a] < names[b];
  });
  return order;
}

}  // namespace vk
