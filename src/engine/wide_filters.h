// Whether the engine's wide byte filters (AVX2, 32 bytes at a time) may run. Asked once: the
// processor must have AVX2, and VELKARO_NO_AVX2 must not be set in the environment, which keeps
// the SSE2 filters (the tests use it to run those over long texts too, as on older processors).
#pragma once

namespace vk {

bool WideFiltersAvailable();

}  // namespace vk
