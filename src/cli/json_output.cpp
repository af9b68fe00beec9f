#include "cli/json_output.h"

#include <cstdio>
#include <optional>

#include "engine/cp1252.h"
#include "engine/encoding.h"

namespace vk::cli {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char minSecond = 0x80;
  unsigned char maxSecond = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) minSecond = 0xA0;  // no overlong forms
    if (lead == 0xED) maxSecond = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) minSecond = 0x90;
    if (lead == 0xF4) maxSecond = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < minSecond || byte(1) > maxSecond) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::string Number(const std::optional<std::int64_t>& value) {
  return value ? std::to_string(*value) : "null";
}

std::string StringList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(texts[i]);
  }
  return out + "]";
}

std::string FileObject(const ResultRow& row) {
  const auto after = [&row](std::int64_t value) {
    return row.complete ? std::optional<std::int64_t>(value) : std::nullopt;
  };
  return "{\"path\": " + JsonString(row.path) + ", \"name\": " + JsonString(row.name) +
         ", \"size_before\": " + std::to_string(row.bytesBefore) +
         ", \"size_after\": " + Number(after(row.bytesAfter)) +
         ", \"saving_percent\": " + Number(row.complete ? row.savingPercent : std::nullopt) +
         ", \"special_chars\": " + Number(after(row.specialCount)) +
         ", \"html_code\": " + Number(after(row.htmlCount)) +
         ", \"encoding\": " + (row.encoding ? JsonString(EncodingName(*row.encoding)) : "null") +
         ", \"messages\": " + StringList(row.messages) + "}";
}

std::string SumsObject(const std::optional<ResultRow>& sums, std::size_t fileRows) {
  if (!sums) return "null";
  const ResultRow& totals = *sums;
  return "{\"files\": " + std::to_string(fileRows) +
         ", \"size_before\": " + std::to_string(totals.bytesBefore) +
         ", \"size_after\": " + std::to_string(totals.bytesAfter) +
         ", \"saving_percent\": " + Number(totals.savingPercent) +
         ", \"special_chars\": " + std::to_string(totals.specialCount) +
         ", \"html_code\": " + std::to_string(totals.htmlCount) + "}";
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte < 0x20) {
      switch (byte) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default: {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        }
      }
      ++i;
    } else if (const std::size_t length = Utf8SequenceLength(text.substr(i)); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += Cp1252ToUtf8(text.substr(i, 1));
      ++i;
    }
  }
  return out + "\"";
}

JsonPrinter::JsonPrinter(std::ostream& out, std::optional<int> operation, bool dryRun) : out_(out) {
  out_ << "{\"operation\": " << (operation ? std::to_string(*operation) : "null")
       << ",\n \"dry_run\": " << (dryRun ? "true" : "false") << ",\n \"files\": [";
}

void JsonPrinter::AddRow(const ResultRow& row) {
  out_ << (rows_ == 0 ? "\n  " : ",\n  ") << FileObject(row) << std::flush;
  ++rows_;
}

void JsonPrinter::AddSumRows(const ResultRow&, const ResultRow& totals) { totals_ = totals; }

void JsonPrinter::Finish() {
  out_ << (rows_ == 0 ? "],\n" : "\n ],\n") << " \"sums\": " << SumsObject(totals_, rows_)
       << ",\n \"messages\": " << StringList(messages_) << "}\n"
       << std::flush;
}

}  // namespace vk::cli
