// The user's regional settings as the size texts of both programs need them.
#pragma once

namespace vk {

// Hands the thousands separator of the system locale to the shared TMyTools. Both programs
// call it once at start-up.
void ApplyRegionalSettings();

}  // namespace vk
