// A file as the program found it before rewriting it: which file a rewrite replaces (the path
// itself or where its links lead, by the rule for links), the identity that must still hold
// just before the rename, and the owner, mode and extended attributes the new file takes over.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_access.h"
#include "fs/extended_attributes.h"
#include "fs/read_file.h"

namespace vk {

// What tells one state of a file from another: a file saved by renaming a new one over it has
// another inode, one written in place another size or modification time.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileSnapshot {
  std::string path;       // as it was asked for
  std::string writePath;  // the file a rewrite replaces: `path`, or the end of its links
  FileIdentity identity;
  mode_t mode = 0;  // permission, set-id and sticky bits
  uid_t owner = 0;
  gid_t group = 0;
  nlink_t links = 1;
  std::vector<ExtendedAttribute> attributes;
};

// The folder `path` lies in ("." for a bare name, "/" for a file in the root).
std::string FolderOf(const std::string& path);

// The rule for links, the one the kernel applies to links in folders others may write to: a
// link is followed only when it belongs to the user running the program or to the owner of the
// file it finally leads to. So nobody can make the program write through a link of theirs to a
// file of someone else's.
//
// Follows the links of `path` (its last component; the folders on the way are the system's to
// resolve) to the file a rewrite replaces, into *writePath. A link that the rule refuses gives
// kLinkRefused. A link that leads nowhere gives kNotFound, unless `mayBeMissing`: then
// *writePath is where it leads, provided the link belongs to the user. More than 40 links in a
// row give kIoError with ELOOP.
FileStatus ResolveWritePath(const std::string& path, std::string* writePath,
                            bool mayBeMissing = false);

// Reads the whole file at `path` (through its links, by the rule) into *content and what it was
// into *snapshot; the identity is the one the file had when the reading began. Fails as
// ReadWholeFile does, with kLinkRefused for a link the rule refuses, and with the errno of a
// failed reading of the extended attributes. On failure *content is empty.
FileStatus ReadFileWithSnapshot(const std::string& path, std::string* content,
                                FileSnapshot* snapshot, std::int64_t maxSize = kNoSizeLimit);

// What the file at `path` (through its links, by the rule) is now, without reading it.
// kNotFound when there is none (with *snapshot->writePath where it would be created, when
// `mayBeMissing`); a folder gives kIsDirectory, anything else but a regular file kIoError with
// EINVAL.
FileStatus SnapshotOf(const std::string& path, FileSnapshot* snapshot, bool mayBeMissing = false);

// Whether the open file `fd` is still the file of `snapshot`, under its name: `snapshot.path`
// (through its links) and `snapshot.writePath` both lead to it, and it has the identity the
// snapshot saw. A path that leads nowhere gives kNotFound, a folder kIsDirectory, anything
// else that is not the same kChanged.
FileStatus CheckUnchanged(int fd, const FileSnapshot& snapshot);

}  // namespace vk
