// The table and the JSON that velkaro-batch prints for a run's rows.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/json_output.h"
#include "cli/results_collector.h"
#include "cli/table_output.h"
#include "engine/my_tools.h"

namespace vk::cli {
namespace {

ResultRow FileRow(std::string name, std::string path, std::int64_t before, std::int64_t after,
                  std::int64_t special, std::int64_t html, std::vector<std::string> messages = {},
                  std::optional<PageEncoding> encoding = std::nullopt) {
  ResultRow row;
  row.name = std::move(name);
  row.path = std::move(path);
  row.bytesBefore = before;
  row.bytesAfter = after;
  row.sizeBefore = std::to_string(before) + " Byte";
  row.sizeAfter = std::to_string(after) + " Byte";
  row.savingPercent = SavingPercent(before, after).value_or(0);
  row.saving = std::to_string(*row.savingPercent);
  row.specialCount = special;
  row.htmlCount = html;
  row.specialChars = std::to_string(special);
  row.htmlCode = std::to_string(html);
  row.messages = std::move(messages);
  row.encoding = encoding;
  return row;
}

// What a run reports: file rows and, unless it ended early, the two sums rows.
struct Reported {
  std::vector<ResultRow> rows;
  std::optional<std::array<ResultRow, 2>> sums;

  void To(BatchSink& sink) const {
    sink.ClearResults();
    for (const ResultRow& row : rows) sink.AddRow(row);
    if (sums) sink.AddSumRows((*sums)[0], (*sums)[1]);
  }
  ResultsCollector Collected() const {
    ResultsCollector results;
    To(results);
    return results;
  }
  std::string Json(int operation, bool dryRun, bool cancelled = false) const {
    std::ostringstream out;
    JsonPrinter printer(out, operation, dryRun);
    To(printer);
    printer.Finish(cancelled);
    return out.str();
  }
};

Reported ThreeRows() {
  return {{FileRow("a.htm", "/w/a.htm", 1000, 900, 0, 10, {}, PageEncoding::kUtf8),
           FileRow("Übersicht.html", "/w/Übersicht.html", 20, 25, 1, 0,
                   {"Konnte /w/Übersicht.html nicht öffnen oder schreiben!"},
                   PageEncoding::kWindows1252),
           FileRow("c.htm", "/w/c.htm", 0, 0, 0, 0)},
          SumRows(3, 1020, 925, 1, 10)};
}

TEST(RenderTableTest, ColumnsAlignedByCharacters) {
  MyTools().SetThousandsSeparator(".");
  const std::string expected =
      "Dateiname            Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
      "a.htm            1000 Byte    900 Byte            10              0         10\n"
      "Übersicht.html     20 Byte     25 Byte           -25              1          0\n"
      "c.htm               0 Byte      0 Byte             0              0          0\n"
      "**Summen**\n"
      "3 Datei(en)     1.020 Byte    925 Byte            10              1         10\n";
  EXPECT_EQ(RenderTable(ThreeRows().Collected()), expected);
}

TEST(RenderTableTest, NoRowsAndEmptySums) {
  EXPECT_EQ(RenderTable(Reported{{}, SumRows(0, 0, 0, 0, 0)}.Collected()),
            "Dateiname     Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
            "**Summen**\n"
            "0 Datei(en)  0 Byte      0 Byte\n");
}

// A name that is not UTF-8 prints as its Windows-1252 characters and lines up by them; control
// characters never reach the terminal raw; a backslash doubles, so every escape reads back.
TEST(RenderTableTest, NamesShownAsTextWithControlCharactersEscaped) {
  MyTools().SetThousandsSeparator(".");
  const std::string table =
      RenderTable(Reported{{FileRow("K\xE4se.htm", "/w/K\xE4se.htm", 1, 1, 0, 0),
                            FileRow("a\nb\x1b[31m.htm", "/w/x", 1, 1, 0, 0),
                            FileRow("t\tc\\d\x7f\xC2\x85.htm", "/w/y", 1, 1, 0, 0)},
                           SumRows(3, 3, 3, 0, 0)}
                      .Collected());
  EXPECT_EQ(
      table,
      "Dateiname               Größe  Neue Größe  Einsparung %  Sonderzeichen  HTML-Code\n"
      "Käse.htm               1 Byte      1 Byte             0              0          0\n"
      "a\\nb\\x1b[31m.htm       1 Byte      1 Byte             0              0          0\n"
      "t\\tc\\\\d\\x7f\\u0085.htm  1 Byte      1 Byte             0              0          0\n"
      "**Summen**\n"
      "3 Datei(en)            3 Byte      3 Byte             0              0          0\n");
}

// "path_bytes" only for a path that is not well-formed UTF-8: scripts tell the Windows-1252
// "K\xE4se.htm" from the UTF-8 "Käse.htm", which "path" shows alike, and reach the file.
TEST(JsonPrinterTest, PathBytesForAPathThatIsNotUtf8) {
  const std::string json =
      Reported{{FileRow("K\xE4se.htm", "/w/K\xE4se.htm", 1, 1, 0, 0),
                FileRow("Käse.htm", "/w/Käse.htm", 1, 1, 0, 0),
                FileRow("\xFF", "/\xFF", 1, 1, 0, 0), FileRow("\xFF\xFE", "/\xFF\xFE", 1, 1, 0, 0)},
               SumRows(4, 4, 4, 0, 0)}
          .Json(1, false);
  const QJsonArray files =
      QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value("files").toArray();
  ASSERT_EQ(files.size(), 4) << json;
  const QJsonObject latin = files[0].toObject();
  const QJsonObject utf8 = files[1].toObject();
  EXPECT_EQ(latin.value("path").toString(), utf8.value("path").toString());
  EXPECT_EQ(latin.value("name").toString(), QStringLiteral("Käse.htm"));
  EXPECT_EQ(latin.value("path_bytes").toString().toStdString(), "L3cvS+RzZS5odG0=");
  EXPECT_EQ(QByteArray::fromBase64(latin.value("path_bytes").toString().toLatin1()),
            QByteArray("/w/K\xE4se.htm"));
  EXPECT_FALSE(utf8.contains("path_bytes"));
  EXPECT_EQ(files[2].toObject().value("path_bytes").toString().toStdString(), "L/8=");
  EXPECT_EQ(files[3].toObject().value("path_bytes").toString().toStdString(), "L//+");
}

TEST(JsonStringTest, EscapesAndForeignBytes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"l1\nl2\r\t", "\"l1\\nl2\\r\\t\""},
      {std::string("\x01\x1f\0", 3), "\"\\u0001\\u001f\\u0000\""},
      {"Größe €", "\"Größe €\""},
      {"/w/\xE4.htm", "\"/w/ä.htm\""},                // a Windows-1252 name
      {"\x80\xC3", "\"€Ã\""},                         // a lone lead byte at the end
      {"\xED\xA0\x80", "\"í\xC2\xA0\xE2\x82\xAC\""},  // no surrogates: three Windows-1252 bytes
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},   // four-byte UTF-8 passes
      {"\xC0\xAF", "\"À¯\""},                         // overlong form refused
  };
  for (const Case& c : cases) EXPECT_EQ(JsonString(c.in), c.out) << c.out;
}

TEST(JsonPrinterTest, ParsesBackWithEveryField) {
  const std::string json = ThreeRows().Json(6, true);
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
  const QJsonObject root = document.object();
  EXPECT_EQ(root.value("operation").toInt(-1), 6);
  EXPECT_EQ(root.value("dry_run").toBool(false), true);
  const QJsonArray files = root.value("files").toArray();
  ASSERT_EQ(files.size(), 3);
  const QJsonObject second = files[1].toObject();
  EXPECT_EQ(second.value("path").toString().toStdString(), "/w/Übersicht.html");
  EXPECT_EQ(second.value("name").toString().toStdString(), "Übersicht.html");
  EXPECT_EQ(second.value("size_before").toInteger(), 20);
  EXPECT_EQ(second.value("size_after").toInteger(), 25);
  EXPECT_EQ(second.value("saving_percent").toInteger(), -25);
  EXPECT_EQ(second.value("special_chars").toInteger(), 1);
  EXPECT_EQ(second.value("html_code").toInteger(), 0);
  EXPECT_EQ(second.value("encoding").toString().toStdString(), "windows-1252");
  EXPECT_EQ(files[0].toObject().value("encoding").toString().toStdString(), "utf-8");
  EXPECT_TRUE(files[2].toObject().value("encoding").isNull());
  const QJsonArray messages = second.value("messages").toArray();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toString().toStdString(),
            "Konnte /w/Übersicht.html nicht öffnen oder schreiben!");
  EXPECT_EQ(files[0].toObject().value("messages").toArray().size(), 0);
  const QJsonObject sums = root.value("sums").toObject();
  EXPECT_EQ(sums.value("files").toInteger(), 3);
  EXPECT_EQ(sums.value("size_before").toInteger(), 1020);
  EXPECT_EQ(sums.value("size_after").toInteger(), 925);
  EXPECT_EQ(sums.value("saving_percent").toInteger(), 10);
  EXPECT_EQ(sums.value("special_chars").toInteger(), 1);
  EXPECT_EQ(sums.value("html_code").toInteger(), 10);
}

TEST(JsonPrinterTest, ExactTextForEmptyTotalsAndAnUnfinishedRun) {
  // A cancelled run has its sums over the rows done.
  EXPECT_EQ(Reported({{FileRow("e.htm", "/e.htm", 0, 0, 0, 0)}, SumRows(1, 0, 0, 0, 0)})
                .Json(0, false, true),
            "{\"operation\": 0,\n \"dry_run\": false,\n \"files\": [\n"
            "  {\"path\": \"/e.htm\", \"name\": \"e.htm\", \"size_before\": 0, \"size_after\": 0,"
            " \"saving_percent\": 0, \"special_chars\": 0, \"html_code\": 0, \"encoding\": null,"
            " \"messages\": []}\n"
            " ],\n \"sums\": {\"files\": 1, \"size_before\": 0, \"size_after\": 0,"
            " \"saving_percent\": null, \"special_chars\": 0, \"html_code\": 0},\n"
            " \"cancelled\": true,\n \"messages\": []}\n");

  ResultRow unfinished;
  unfinished.name = "u.htm";
  unfinished.path = "/u.htm";
  unfinished.bytesBefore = 7;
  unfinished.complete = false;
  unfinished.messages = {"m"};
  const Reported ended{{unfinished}, std::nullopt};
  EXPECT_EQ(
      ended.Json(4, false),
      "{\"operation\": 4,\n \"dry_run\": false,\n \"files\": [\n"
      "  {\"path\": \"/u.htm\", \"name\": \"u.htm\", \"size_before\": 7, \"size_after\": null,"
      " \"saving_percent\": null, \"special_chars\": null, \"html_code\": null,"
      " \"encoding\": null, \"messages\": [\"m\"]}\n ],\n \"sums\": null,\n"
      " \"cancelled\": false,\n \"messages\": []}\n");
  EXPECT_EQ(Reported().Json(1, true),
            "{\"operation\": 1,\n \"dry_run\": true,\n \"files\": [],\n \"sums\": null,\n "
            "\"cancelled\": false,\n \"messages\": []}\n");
}

// Messages that belong to no file close the object; a run that never got to know its operation
// (its settings file could not be used) says null.
TEST(JsonPrinterTest, MessagesOfNoFileAndAnOperationNeverKnown) {
  std::ostringstream out;
  JsonPrinter printer(out, std::nullopt, false);
  printer.AddMessage("Die Einstellungsdatei /x.ini gibt es nicht!");
  printer.AddMessage("Konnte den Ordner \"/q\" nicht lesen!");
  printer.Finish();
  EXPECT_EQ(
      out.str(),
      "{\"operation\": null,\n \"dry_run\": false,\n \"files\": [],\n \"sums\": null,\n"
      " \"cancelled\": false,\n \"messages\": [\"Die Einstellungsdatei /x.ini gibt es nicht!\", "
      "\"Konnte den Ordner \\\"/q\\\" nicht lesen!\"]}\n");
}

// Each row is out before the next one is reported, not when the run is over.
TEST(JsonPrinterTest, WritesEachRowAsItArrives) {
  std::ostringstream out;
  JsonPrinter printer(out, 2, false);
  EXPECT_EQ(out.str(), "{\"operation\": 2,\n \"dry_run\": false,\n \"files\": [");
  printer.AddRow(FileRow("a.htm", "/a.htm", 5, 4, 0, 0));
  const std::string afterOne = out.str();
  EXPECT_EQ(afterOne.substr(afterOne.size() - 15), "\"messages\": []}");
  printer.AddRow(FileRow("b.htm", "/b.htm", 5, 4, 0, 0));
  EXPECT_EQ(out.str().compare(0, afterOne.size(), afterOne), 0);
  EXPECT_NE(out.str().find("\"/b.htm\""), std::string::npos);
}

}  // namespace
}  // namespace vk::cli
