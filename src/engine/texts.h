// The user texts of the engine and the layers without widgets: German source texts, marked for
// lupdate with QT_TRANSLATE_NOOP (defined here as Qt defines it, for code that sees no Qt
// header) and passed through Translate before they are shown. Without an installed translator
// every text stays exactly as written.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace vk {

// Gives the text for `source` (UTF-8) in the user's language.
using Translator = std::string (*)(const char* context, const char* source);

// Installs the translator; called once at start-up, before any other thread runs.
void SetTranslator(Translator translator);

// `source` through the installed translator, or `source` itself.
std::string Translate(const char* context, const char* source);

// `text` with %1, %2, ... %9 replaced by `args` in order, byte for byte (a file name need not be
// UTF-8). A % not followed by the number of a given argument stays as it is.
std::string FormatText(std::string_view text, std::initializer_list<std::string_view> args);

}  // namespace vk
