#include "engine/texts.h"

#include <gtest/gtest.h>

#include <string>

namespace vk {
namespace {

TEST(FormatText, ReplacesNumberedPlacesByteForByte) {
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"Konnte %1 nicht öffnen!", "Konnte /w/\xE4.htm nicht öffnen!"},  // a Windows-1252 name
      {"%2 vor %1", "zwei vor /w/\xE4.htm"},
      {"%1%1", "/w/\xE4.htm/w/\xE4.htm"},
      {"Einsparung %", "Einsparung %"},
      {"%3 und %0 bleiben", "%3 und %0 bleiben"},
      {"100%", "100%"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatText(c.text, {"/w/\xE4.htm", "zwei"}), c.expected) << c.text;
  }
  // What an argument holds is not looked at again.
  EXPECT_EQ(FormatText("%1 und %2", {"%2", "b"}), "%2 und b");
}

TEST(Translate, GoesThroughTheInstalledTranslatorOrStaysAsWritten) {
  EXPECT_EQ(Translate("vk::Test", "Datei: %1"), "Datei: %1");
  SetTranslator(
      [](const char* context, const char* source) { return std::string(context) + "|" + source; });
  EXPECT_EQ(Translate("vk::Test", "Datei: %1"), "vk::Test|Datei: %1");
  SetTranslator(nullptr);
  EXPECT_EQ(Translate("vk::Test", "Datei: %1"), "Datei: %1");
}

}  // namespace
}  // namespace vk
