// The user's regional settings as both programs need them below their windows and printers.
#pragma once

namespace vk {

// Hands the thousands separator of the system locale to the shared TMyTools, and Qt's
// translation of texts to the layers without Qt (Translate). Both programs call it once at
// start-up, before any other thread runs.
void ApplyRegionalSettings();

}  // namespace vk
