// What a batch run tells an undo journal, when it has one: every page it is about to replace,
// and the points where everything recorded so far must be on the disk. A run without a journal
// (a dry run, a run of the tests) tells nobody.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/file_access.h"

namespace vk {

class RunJournal {
 public:
  virtual ~RunJournal() = default;

  // A page's old bytes in the journal's own form.
  struct Packed {
    virtual ~Packed() = default;
  };

  // A page whose new content is staged, before its group's sync, its check and its rename.
  // Called on the thread that prepared the page, so several pages may be recorded at once and
  // in any order; `order` is the page's row. The views are valid during the call only.
  struct Page {
    const std::string& path;  // the page's path as the run reached it (raw bytes)
    dev_t device;             // the page as it was read
    ino_t inode;
    std::string_view oldBytes;  // empty when packedOld holds them
    std::string_view newBytes;
    std::int64_t order;
    Packed* packedOld = nullptr;  // from this journal's Pack, taken by the call
  };
  // Packs the old bytes of a page whose steps are still running, on the thread that runs them,
  // so that the run may let go of the bytes themselves; its Record then names the result as
  // packedOld. Null when the journal cannot (the run then keeps the bytes for Record).
  virtual std::unique_ptr<Packed> Pack(const std::string& /*path*/, std::string_view /*oldBytes*/) {
    return nullptr;
  }
  // A failure leaves the page unchanged, reported with the status as a failed write. A journal
  // that chooses to let the page go on without its record returns Ok.
  virtual FileStatus Record(const Page& page) = 0;
  // Makes every record so far durable. Called before the renames of the pages recorded since
  // the last call; a failure leaves those pages unchanged, reported with the status.
  virtual FileStatus Sync() = 0;
};

}  // namespace vk
