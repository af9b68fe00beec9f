// A slow, literal version of HTML compression for the tests to compare the engine with: every
// rule is a pass that erases and inserts bytes one at a time and searches again from the
// start, exactly in the order the rules are written down. Only for short texts.
#pragma once

#include <string>

#include "engine/compress.h"
#include "engine/feedback.h"

namespace vk::reference {

// The block rules; returns Changed.
bool CompressHtmlBlock(std::string& text, Feedback& feedback);

// Returns false after reporting a "<pre" without "</pre>" behind it.
bool CompressPreBlocks(const std::string& piece, std::string& result, const std::string& fileName,
                       Feedback& feedback);

// Appends to `output`; returns false after reporting a missing end tag.
bool CompressScriptBlocks(const std::string& fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback);

// The steps for one file text after reading (tag names lowered first when a protected block
// is there). `output` is set only for kChanged.
CompressOutcome CompressHtmlText(const std::string& fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback);

}  // namespace vk::reference
