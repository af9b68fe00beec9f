// Room for a page's bytes in memory. Faulting a big buffer in 4 KiB at a time can cost more than
// transforming the page (virtual machines most of all), so a large buffer asks the system for
// huge pages before it is first touched.
#pragma once

#include <cstddef>
#include <string>

namespace vk {

// Reserves room for `size` bytes in `buffer` (its bytes kept); where the room is new and large,
// its whole huge pages are asked for as such. A hint: nothing else changes when the system
// says no.
void ReserveLarge(std::string& buffer, std::size_t size);

}  // namespace vk
