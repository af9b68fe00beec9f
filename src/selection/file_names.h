// File and folder names are bytes: they are kept exactly as the file system gave them and used
// for every access. A QString is only what a widget shows of them: the name decoded as UTF-8
// when it is well-formed, else as Windows-1252 (old sites carry such names). A name the user
// types gets the bytes of its UTF-8 form, as the desktop gives new names.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QUrl>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

// What a widget shows of a name or path.
QString NameText(std::string_view bytes);
inline QString NameText(const QByteArray& bytes) {
  return NameText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// Text that mixes UTF-8 with the bytes of such names (a message naming a file): each well-formed
// UTF-8 sequence as itself, every other byte as its Windows-1252 character.
QString MixedText(std::string_view bytes);

// The bytes a name typed by the user gets on disk: its UTF-8 form.
inline QByteArray TypedName(const QString& text) { return text.toUtf8(); }

// std::string and QByteArray hold the same bytes.
inline QByteArray Bytes(std::string_view text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string StdBytes(const QByteArray& bytes) { return bytes.toStdString(); }

// The file URL of a path, every byte kept (percent-encoded where needed).
QUrl FileUrl(std::string_view path);
// The path bytes of a local file URL (its percent-encoded bytes decoded); empty for any other.
std::string LocalPathOf(const QUrl& url);

// `path` made absolute against the current folder, with "//", "." and ".." removed ("/" stays
// "/"); bytes in, bytes out, no lookup on disk.
std::string CleanPath(std::string_view path);

// The order of `names` ascending by what they show, ignoring case, in the collation of
// `locale`; names that collate alike keep the order of their bytes. Returns indexes into
// `names`.
std::vector<std::size_t> CollationOrder(const std::vector<std::string_view>& names,
                                        const QLocale& locale);

}  // namespace vk
