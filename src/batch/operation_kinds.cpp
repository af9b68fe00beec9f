#include "batch/operation_kinds.h"

namespace vk {

const std::array<OperationKind, kOperationCount>& OperationKinds() {
  // Index = position in the Edit menu and in the operation box. The caption of index 5 has
  // two blanks before "ersetzen", exactly as the menu shows it.
  static const std::array<OperationKind, kOperationCount> kinds = {{
      {0, "HTMLTagsentfernen1", "HTML-Code in Dateien ersetzen", {false, false, true}},
      {1, "Sconvert", "Sonderzeichen in Dateien umwandeln", {true, false, false}},
      {2, "Komprimieren1", "Dateien komprimieren", {false, true, false}},
      {3,
       "SonderzeichenumwandelnKomprimieren1",
       "Sonderzeichen in Dateien umwandeln und Dateien komprimieren",
       {true, true, false}},
      {4,
       "HTMLTagsentfernenSonderzeichenumwandeln1",
       "HTML-Code in Dateien ersetzen und Sonderzeichen in Dateien umwandeln",
       {true, false, true}},
      {5,
       "HTMLTagsentfernenKomprimieren1",
       "HTML-Code in Dateien  ersetzen und Dateien komprimieren",
       {false, true, true}},
      {6,
       "HTMLTagsentfernenSonderzeichenumwandelnKomprimieren1",
       "HTML-Code in Dateien ersetzen, Sonderzeichen in Dateien umwandeln und Dateien "
       "komprimieren",
       {true, true, true}},
  }};
  return kinds;
}

}  // namespace vk
