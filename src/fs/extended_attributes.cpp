#include "fs/extended_attributes.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>

namespace vk {
namespace {

using Code = FileStatus::Code;

// "No extended attributes here" in the ways file systems say it.
bool Unsupported(int err) { return err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS; }

// Calls `call(buffer, size)` (a list or get call of the xattr family) with a buffer that grows
// until the answer fits, the way the answer's size may change between two calls. Returns 0
// with *out filled, or the errno.
template <typename Call>
int SizedCall(Call call, std::string* out) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return errno;
    out->assign(static_cast<std::size_t>(size), '\0');
    if (size == 0) return 0;
    const ssize_t got = call(out->data(), out->size());
    if (got >= 0) {
      out->resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;
  }
  return ERANGE;
}

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::size_t from = 0;
  while (from < list.size()) {
    const std::size_t end = list.find('\0', from);
    const std::size_t stop = end == std::string::npos ? list.size() : end;
    if (stop > from) names.push_back(list.substr(from, stop - from));
    from = stop + 1;
  }
  return names;
}

template <typename List, typename Get>
FileStatus ReadWith(List list, Get get, std::vector<ExtendedAttribute>* attributes) {
  attributes->clear();
  std::string names;
  if (const int err = SizedCall(list, &names); err != 0) {
    return Unsupported(err) ? FileStatus::Ok() : FileStatus::FromErrno(err);
  }
  for (std::string& name : SplitNames(names)) {
    std::string value;
    const int err =
        SizedCall([&](char* buffer, std::size_t size) { return get(name, buffer, size); }, &value);
    // Gone since the list was read: it is not there to keep.
    if (err == ENODATA) continue;
    if (err != 0) return FileStatus::FromErrno(err);
    attributes->push_back({std::move(name), std::move(value)});
  }
  return FileStatus::Ok();
}

}  // namespace

FileStatus ReadAttributes(int fd, std::vector<ExtendedAttribute>* attributes) {
  return ReadWith([fd](char* buffer, std::size_t size) { return ::flistxattr(fd, buffer, size); },
                  [fd](const std::string& name, char* buffer, std::size_t size) {
                    return ::fgetxattr(fd, name.c_str(), buffer, size);
                  },
                  attributes);
}

FileStatus ReadAttributesOf(const std::string& path, std::vector<ExtendedAttribute>* attributes) {
  return ReadWith(
      [&path](char* buffer, std::size_t size) { return ::llistxattr(path.c_str(), buffer, size); },
      [&path](const std::string& name, char* buffer, std::size_t size) {
        return ::lgetxattr(path.c_str(), name.c_str(), buffer, size);
      },
      attributes);
}

FileStatus GiveAttributes(int fd, const std::vector<ExtendedAttribute>& attributes) {
  std::vector<ExtendedAttribute> present;
  const FileStatus read = ReadAttributes(fd, &present);
  if (!read.ok()) return FileStatus::Error(Code::kAttributesLost, read.err());
  for (const ExtendedAttribute& extra : present) {
    const bool wanted =
        std::any_of(attributes.begin(), attributes.end(),
                    [&extra](const ExtendedAttribute& a) { return a.name == extra.name; });
    if (!wanted && ::fremovexattr(fd, extra.name.c_str()) != 0 && errno != ENODATA) {
      return FileStatus::Error(Code::kAttributesLost, errno);
    }
  }
  for (const ExtendedAttribute& attribute : attributes) {
    if (::fsetxattr(fd, attribute.name.c_str(), attribute.value.data(), attribute.value.size(),
                    0) == 0) {
      continue;
    }
    const int err = errno;
    // A label the system gave the new file already may be refused as a change, yet it is there.
    const auto same = std::find(present.begin(), present.end(), attribute);
    if (same == present.end()) return FileStatus::Error(Code::kAttributesLost, err);
  }
  return FileStatus::Ok();
}

}  // namespace vk
