// A file's extended attributes, read from the file a rewrite replaces and given to the new file
// that takes its place: POSIX ACLs ("system.posix_acl_access"), security labels and the user's
// own attributes travel this way, so a rewrite never widens who may read or write the file.
#pragma once

#include <string>
#include <vector>

#include "engine/file_access.h"

namespace vk {

struct ExtendedAttribute {
  std::string name;
  std::string value;
  bool operator==(const ExtendedAttribute&) const = default;
};

// Every extended attribute of the open file `fd` (those the user may see) into *attributes.
// A file system without extended attributes gives none and Ok; any other failure its errno.
FileStatus ReadAttributes(int fd, std::vector<ExtendedAttribute>* attributes);
// The same for the file at `path` itself (a link is not followed).
FileStatus ReadAttributesOf(const std::string& path, std::vector<ExtendedAttribute>* attributes);

// Makes the extended attributes of the open file `fd` exactly `attributes`: each is set, and any
// the file has beyond them (an ACL inherited from its folder, say) is removed. Fails with
// kAttributesLost (and the errno) when one of them cannot be set or removed; an attribute that
// already holds the wanted value counts as set.
FileStatus GiveAttributes(int fd, const std::vector<ExtendedAttribute>& attributes);

}  // namespace vk
