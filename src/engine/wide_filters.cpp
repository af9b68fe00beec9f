#include "engine/wide_filters.h"

#include <cstdlib>

namespace vk {

bool WideFiltersAvailable() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  static const bool wide =
      __builtin_cpu_supports("avx2") && std::getenv("VELKARO_NO_AVX2") == nullptr;
  return wide;
#else
  return false;
#endif
}

}  // namespace vk
