#include "engine/compress.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "engine/case_fold.h"
#include "engine/compress_block.h"
#include "engine/compress_tags.h"
#include "engine/texts.h"

namespace vk {
namespace {

using compress_detail::CompressBlockTo;
using compress_detail::IsTrimmable;
using compress_detail::PageTags;
using compress_detail::PositionCursor;

constexpr std::size_t kScriptEndLength = 9;  // "</script>"
constexpr std::size_t kPreEndLength = 6;     // "</pre>"

// The messages of the compression; %1 is the file's name.
constexpr const char* kMissingScriptEnd = QT_TRANSLATE_NOOP(
    "vk::Compression", "In %1 fehlt das Ende des Scripts! Bearbeitung abgebrochen!");
constexpr const char* kMissingPreEnd = QT_TRANSLATE_NOOP(
    "vk::Compression", "In %1 fehlt das Ende des Pre-Bereichs! Bearbeitung abgebrochen!");
constexpr const char* kCannotAccess =
    QT_TRANSLATE_NOOP("vk::Compression", "Konnte %1 nicht öffnen, schreiben oder Fehler in Datei!");
constexpr const char* kHasNulBytes = QT_TRANSLATE_NOOP(
    "vk::Compression", "Die Datei %1 enthält Null-Bytes und wird nicht verändert!");

std::string Message(const char* text, const std::string& fileName) {
  return FormatText(Translate("vk::Compression", text), {fileName});
}
std::string MissingScriptEnd(const std::string& fileName) {
  return Message(kMissingScriptEnd, fileName);
}
std::string MissingPreEnd(const std::string& fileName) { return Message(kMissingPreEnd, fileName); }
std::string CannotAccess(const std::string& fileName) { return Message(kCannotAccess, fileName); }

// Cuts a page (or a piece of one) at its protected blocks and writes the result into `out`,
// which has room for the whole source: no piece grows. Every search walks the tag lists
// forward, so the whole cut is linear in the page.
class PageCutter {
 public:
  PageCutter(std::string_view text, const PageTags& tags, bool lowerNames, char* out,
             const std::string& fileName, Feedback& feedback)
      : text_(text),
        tags_(tags),
        lowerNames_(lowerNames),
        out_(out),
        fileName_(fileName),
        feedback_(feedback),
        scriptStarts_(tags.scriptStarts),
        scriptEnds_(tags.scriptEnds),
        preStarts_(tags.preStarts),
        preEnds_(tags.preEnds) {}

  std::size_t size() const { return w_; }

  // Script blocks stay, the pieces around them are compressed, and all white space between a
  // script and its neighbours goes. False after a missing end tag was reported.
  bool CutScripts(bool& writeNeeded) {
    const std::size_t n = text_.size();
    std::size_t rest = 0;
    while (true) {
      const std::size_t start = scriptStarts_.Next(rest, n);
      if (start == PositionCursor::npos) break;
      // Only an end tag behind the opening tag closes it.
      const std::size_t end = scriptEnds_.Next(start, n);
      if (end == PositionCursor::npos) {
        feedback_.Error(MissingScriptEnd(fileName_));
        return false;
      }
      const std::size_t pieceStart = w_;
      if (!CompressPiece(rest, start, writeNeeded)) return false;
      TrimEnd(pieceStart);
      TrimStart(pieceStart);
      AppendProtected(start, end + kScriptEndLength);
      rest = end + kScriptEndLength;
    }
    if (rest < n) {
      const std::size_t pieceStart = w_;
      if (!CompressPiece(rest, n, writeNeeded)) return false;
      TrimStart(pieceStart);
    }
    return true;
  }

  // Pre blocks in [from, to) stay, the stretches around them are compressed. `differs` is
  // raised when the result is not the source byte for byte (white space dropped at the start
  // by `dropLeading` aside). False after a missing "</pre>" was reported.
  bool CutPres(std::size_t from, std::size_t to, bool& differs, bool dropLeading) {
    std::size_t rest = from;
    while (true) {
      const std::size_t start = preStarts_.Next(rest, to);
      if (start == PositionCursor::npos) break;
      const std::size_t end = preEnds_.Next(start, to);
      if (end == PositionCursor::npos) {
        feedback_.Error(MissingPreEnd(fileName_));
        return false;
      }
      differs |= AppendCompressed(rest, start, dropLeading && rest == from).differs;
      AppendProtected(start, end + kPreEndLength);
      rest = end + kPreEndLength;
    }
    if (rest < to) differs |= AppendCompressed(rest, to, dropLeading && rest == from).differs;
    return true;
  }

 private:
  // A piece next to a script: cut at its pre blocks when it has any, else one block. Its
  // white space at the start goes (the caller trims again in case a block came back as it was).
  bool CompressPiece(std::size_t from, std::size_t to, bool& writeNeeded) {
    if (preStarts_.Next(from, to) != PositionCursor::npos) {
      bool differs = false;
      if (!CutPres(from, to, differs, /*dropLeading=*/true)) return false;
      writeNeeded |= differs;
      return true;
    }
    writeNeeded |= AppendCompressed(from, to, /*dropLeading=*/true).changed;
    return true;
  }

  // Appends the block rules' result for [from, to).
  compress_detail::BlockResult AppendCompressed(std::size_t from, std::size_t to,
                                                bool dropLeading) {
    std::string_view block = text_.substr(from, to - from);
    if (lowerNames_ && HasNames(from, to)) {
      // A stray end tag: its name is lowered before the rules run, exactly as in the page.
      scratch_.assign(block);
      LowerNames(from, to, scratch_.data());
      block = scratch_;
    }
    const compress_detail::BlockResult result =
        CompressBlockTo(block, out_ + w_, dropLeading, feedback_);
    w_ += result.written;
    return result;
  }

  void AppendProtected(std::size_t from, std::size_t to) {
    std::memcpy(out_ + w_, text_.data() + from, to - from);
    if (lowerNames_) LowerNames(from, to, out_ + w_);
    w_ += to - from;
  }

  bool HasNames(std::size_t from, std::size_t to) {
    SkipNamesBefore(from);
    return nameIndex_ < tags_.names.size() && tags_.names[nameIndex_].pos < to;
  }

  // Lowers the letters of the tag names that start in [from, to); `dst` holds those bytes.
  // No name reaches past `to`: pieces end at a '<' or behind a '>', neither of which a name
  // holds past its first byte.
  void LowerNames(std::size_t from, std::size_t to, char* dst) {
    SkipNamesBefore(from);
    while (nameIndex_ < tags_.names.size() && tags_.names[nameIndex_].pos < to) {
      const PageTags::Name& name = tags_.names[nameIndex_];
      char* p = dst + (name.pos - from);
      for (std::size_t k = 0; k < name.length; ++k) {
        p[k] = static_cast<char>(FoldByte(static_cast<unsigned char>(p[k])));
      }
      ++nameIndex_;
    }
  }

  void SkipNamesBefore(std::size_t from) {
    while (nameIndex_ < tags_.names.size() && tags_.names[nameIndex_].pos < from) ++nameIndex_;
  }

  void TrimEnd(std::size_t pieceStart) {
    while (w_ > pieceStart && IsTrimmable(static_cast<unsigned char>(out_[w_ - 1]))) --w_;
  }

  void TrimStart(std::size_t pieceStart) {
    std::size_t first = pieceStart;
    while (first < w_ && IsTrimmable(static_cast<unsigned char>(out_[first]))) ++first;
    if (first == pieceStart) return;
    std::memmove(out_ + pieceStart, out_ + first, w_ - first);
    w_ -= first - pieceStart;
  }

  std::string_view text_;
  const PageTags& tags_;
  bool lowerNames_;
  char* out_;
  std::size_t w_ = 0;
  const std::string& fileName_;
  Feedback& feedback_;
  PositionCursor scriptStarts_;
  PositionCursor scriptEnds_;
  PositionCursor preStarts_;
  PositionCursor preEnds_;
  std::size_t nameIndex_ = 0;
  std::string scratch_;
};

// Sizes `buffer` to `size` bytes for a page's output; room the caller reserved is used.
void SizeOutputBuffer(std::string& buffer, std::size_t size) {
  buffer.reserve(size);
  buffer.resize(size);
}

}  // namespace

bool CompressPreBlocks(std::string_view piece, std::string& result, const std::string& fileName,
                       Feedback& feedback) {
  const PageTags tags = compress_detail::FindPageTags(piece);
  std::string buffer(piece.size(), '\0');
  PageCutter cutter(piece, tags, /*lowerNames=*/false, buffer.data(), fileName, feedback);
  bool differs = false;
  if (!cutter.CutPres(0, piece.size(), differs, /*dropLeading=*/false)) return false;
  buffer.resize(cutter.size());
  result = std::move(buffer);
  return true;
}

bool CompressScriptBlocks(std::string_view fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback) {
  const PageTags tags = compress_detail::FindPageTags(fileText);
  std::string buffer(fileText.size(), '\0');
  PageCutter cutter(fileText, tags, /*lowerNames=*/false, buffer.data(), fileName, feedback);
  bool changed = false;
  if (!cutter.CutScripts(changed)) return false;
  output.append(buffer.data(), cutter.size());
  writeNeeded |= changed;
  return true;
}

CompressOutcome CompressHtmlText(std::string_view fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback) {
  if (fileText.empty()) return CompressOutcome::kUnchanged;
  // An empty `output` is written into directly, so a caller that keeps one string for many
  // pages keeps its memory too; it is emptied again unless the page changed.
  std::string ownBuffer;
  std::string& buffer = output.empty() ? output : ownBuffer;
  auto finish = [&](CompressOutcome outcome, std::size_t size) {
    if (outcome != CompressOutcome::kChanged) {
      buffer.clear();
      return outcome;
    }
    buffer.resize(size);
    if (&buffer != &output) output = std::move(buffer);
    return outcome;
  };
  try {
    const PageTags tags = compress_detail::FindPageTags(fileText);
    SizeOutputBuffer(buffer, fileText.size());
    if (!tags.HasOpeningTag()) {
      const compress_detail::BlockResult result =
          CompressBlockTo(fileText, buffer.data(), /*dropLeading=*/false, feedback);
      return finish(result.changed ? CompressOutcome::kChanged : CompressOutcome::kUnchanged,
                    result.written);
    }
    // The tag names are lowered in the page before it is cut; that alone is no reason to write.
    PageCutter cutter(fileText, tags, /*lowerNames=*/true, buffer.data(), fileName, feedback);
    bool writeNeeded = false;
    if (!cutter.CutScripts(writeNeeded)) return finish(CompressOutcome::kAborted, 0);
    return finish(writeNeeded ? CompressOutcome::kChanged : CompressOutcome::kUnchanged,
                  cutter.size());
  } catch (const std::bad_alloc&) {
    // No room for the page's buffers: nothing can be compressed, the file stays as it is.
    buffer.clear();
    feedback.Error(Translate("vk::Compression", compress_detail::kBlockFailure));
    return CompressOutcome::kUnchanged;
  }
}

void CompressHtmlFile(const std::string& fileName, Feedback& feedback, FileAccess& files) {
  std::string storage;
  std::string_view text;
  if (!files.ReadView(fileName, &storage, &text).ok()) {
    feedback.Error(CannotAccess(fileName));
    return;
  }
  if (text.empty()) return;
  // Cutting the page at its first NUL byte would lose the rest of it.
  if (std::memchr(text.data(), 0, text.size()) != nullptr) {
    feedback.Error(NulBytesMessage(fileName));
    return;
  }
  feedback.Yield();
  std::string output;
  files.Reserve(output, text.size());
  if (CompressHtmlText(text, output, fileName, feedback) != CompressOutcome::kChanged) return;
  std::string().swap(storage);  // the page's old text is not needed for the write
  if (!files.Give(fileName, output).ok()) feedback.Error(CannotAccess(fileName));
}

std::string NulBytesMessage(const std::string& fileName) { return Message(kHasNulBytes, fileName); }

}  // namespace vk
