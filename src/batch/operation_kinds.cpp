#include "batch/batch_run.h"

namespace vk {

const std::array<OperationKind, 7>& OperationKinds() {
  // Index = position in the Edit menu and in the operation box. The caption of index 5 has
  // two blanks before "ersetzen", exactly as the menu shows it.
  static const std::array<OperationKind, 7> kinds = {{
      {0,
       "HTMLTagsentfernen1",
       "HTML-Code in Dateien ersetzen",
       "HTMLTagsentfernen1Click",
       {false, false, true}},
      {1, "Sconvert", "Sonderzeichen in Dateien umwandeln", "SconvertClick", {true, false, false}},
      {2, "Komprimieren1", "Dateien komprimieren", "Komprimieren1Click", {false, true, false}},
      {3,
       "SonderzeichenumwandelnKomprimieren1",
       "Sonderzeichen in Dateien umwandeln und Dateien komprimieren",
       "SonderzeichenumwandelnKomprimieren1Click",
       {true, true, false}},
      {4,
       "HTMLTagsentfernenSonderzeichenumwandeln1",
       "HTML-Code in Dateien ersetzen und Sonderzeichen in Dateien umwandeln",
       "HTMLTagsentfernenSonderzeichenumwandeln1Click",
       {true, false, true}},
      {5,
       "HTMLTagsentfernenKomprimieren1",
       "HTML-Code in Dateien  ersetzen und Dateien komprimieren",
       "HTMLTagsentfernenKomprimieren1Click",
       {false, true, true}},
      {6,
       "HTMLTagsentfernenSonderzeichenumwandelnKomprimieren1",
       "HTML-Code in Dateien ersetzen, Sonderzeichen in Dateien umwandeln und Dateien "
       "komprimieren",
       "HTMLTagsentfernenSonderzeichenumwandelnKomprimieren1Click",
       {true, true, true}},
  }};
  return kinds;
}

}  // namespace vk
