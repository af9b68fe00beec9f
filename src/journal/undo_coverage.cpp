#include "journal/undo_coverage.h"

#include <zstd.h>

#include "engine/my_tools.h"
#include "engine/texts.h"

namespace vk {
namespace {

constexpr const char* kContext = "vk::UndoCoverage";
constexpr const char* kPartial = QT_TRANSLATE_NOOP(
    "vk::UndoCoverage",
    "Dieser Lauf kann eventuell nicht vollständig rückgängig gemacht werden: Die Dateien sind "
    "zusammen %1 groß, aufgehoben werden höchstens %2!");
constexpr const char* kQuestion = QT_TRANSLATE_NOOP("vk::UndoCoverage", "%1 Trotzdem starten?");

// A page's record besides its compressed bytes: header, facts, check, and room for its path.
constexpr std::int64_t kRecordOverhead = 4096 + 128;
// The run record and the magic.
constexpr std::int64_t kJournalOverhead = 4096 + 64;

}  // namespace

UndoCoverage CheckUndoCoverage(const std::vector<std::int64_t>& pageSizes,
                               const KeepLimits& limits) {
  UndoCoverage coverage;
  if (limits.runs <= 0 || limits.bytes <= 0) {
    coverage.kind = UndoCoverage::Kind::kOff;
    return coverage;
  }
  std::int64_t needed = kJournalOverhead;
  std::int64_t total = 0;
  for (const std::int64_t size : pageSizes) {
    if (size <= 0) continue;
    total += size;
    needed += static_cast<std::int64_t>(ZSTD_compressBound(static_cast<std::size_t>(size))) +
              kRecordOverhead;
  }
  if (needed <= limits.bytes) return coverage;
  coverage.kind = UndoCoverage::Kind::kPartial;
  coverage.message = FormatText(Translate(kContext, kPartial),
                                {MyTools().SizeText(total), MyTools().SizeText(limits.bytes)});
  coverage.question = FormatText(Translate(kContext, kQuestion), {coverage.message});
  return coverage;
}

}  // namespace vk
