#include "batch/operation_kinds.h"

#include <QtGlobal>

namespace vk {

const std::array<OperationKind, kOperationCount>& OperationKinds() {
  // Index = position in the Edit menu and in the operation box. The caption of index 5 has
  // two blanks before "ersetzen", exactly as the menu shows it.
  static const std::array<OperationKind, kOperationCount> kinds = {{
      {0,
       "HTMLTagsentfernen1",
       QT_TRANSLATE_NOOP("vk::TVKMain", "HTML-Code in Dateien ersetzen"),
       {false, false, true}},
      {1,
       "Sconvert",
       QT_TRANSLATE_NOOP("vk::TVKMain", "Sonderzeichen in Dateien umwandeln"),
       {true, false, false}},
      {2,
       "Komprimieren1",
       QT_TRANSLATE_NOOP("vk::TVKMain", "Dateien komprimieren"),
       {false, true, false}},
      {3,
       "SonderzeichenumwandelnKomprimieren1",
       QT_TRANSLATE_NOOP("vk::TVKMain",
                         "Sonderzeichen in Dateien umwandeln und Dateien komprimieren"),
       {true, true, false}},
      {4,
       "HTMLTagsentfernenSonderzeichenumwandeln1",
       QT_TRANSLATE_NOOP("vk::TVKMain",
                         "HTML-Code in Dateien ersetzen und Sonderzeichen in Dateien umwandeln"),
       {true, false, true}},
      {5,
       "HTMLTagsentfernenKomprimieren1",
       QT_TRANSLATE_NOOP("vk::TVKMain", "HTML-Code in Dateien  ersetzen und Dateien komprimieren"),
       {false, true, true}},
      {6,
       "HTMLTagsentfernenSonderzeichenumwandelnKomprimieren1",
       QT_TRANSLATE_NOOP(
           "vk::TVKMain",
           "HTML-Code in Dateien ersetzen, Sonderzeichen in Dateien umwandeln und Dateien "
           "komprimieren"),
       {true, true, true}},
  }};
  return kinds;
}

}  // namespace vk
