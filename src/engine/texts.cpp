#include "engine/texts.h"

#include <atomic>
#include <vector>

namespace vk {
namespace {

std::atomic<Translator> installed{nullptr};

}  // namespace

void SetTranslator(Translator translator) { installed.store(translator); }

std::string Translate(const char* context, const char* source) {
  const Translator translator = installed.load();
  return translator != nullptr ? translator(context, source) : std::string(source);
}

std::string FormatText(std::string_view text, std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> values(args);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t number =
        i + 1 < text.size() && text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9'
            ? static_cast<std::size_t>(text[i + 1] - '0')
            : 0;
    if (number >= 1 && number <= values.size()) {
      out.append(values[number - 1]);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace vk
