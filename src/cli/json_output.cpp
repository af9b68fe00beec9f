#include "cli/json_output.h"

#include <cstdio>
#include <optional>

#include "engine/cp1252.h"
#include "engine/encoding.h"

namespace vk::cli {
namespace {

// The standard base64 alphabet with padding.
std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned value = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(value >> shift) & 63];
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(value >> 18) & 63];
    out += kAlphabet[(value >> 12) & 63];
    out += rest == 2 ? kAlphabet[(value >> 6) & 63] : '=';
    out += '=';
  }
  return out;
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
  // "path" shows a Windows-1252 name as its characters; "path_bytes" lets a script tell
  // "K\xe4se.htm" from the UTF-8 "Käse.htm" and reach the file.
  const std::string pathBytes =
      IsWellFormedUtf8(row.path) ? "" : ", \"path_bytes\": \"" + Base64(row.path) + "\"";
  return "{\"path\": " + JsonString(row.path) + pathBytes + ", \"name\": " + JsonString(row.name) +
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
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else if (const std::size_t length =
                   Utf8SequenceLength(text.data() + i, text.data() + text.size());
               length > 0) {
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

void JsonPrinter::Finish(bool cancelled) {
  out_ << (rows_ == 0 ? "],\n" : "\n ],\n") << " \"sums\": " << SumsObject(totals_, rows_)
       << ",\n \"cancelled\": " << (cancelled ? "true" : "false")
       << ",\n \"messages\": " << StringList(messages_) << "}\n"
       << std::flush;
}

}  // namespace vk::cli
