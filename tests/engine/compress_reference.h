// A slow, literal version of HTML compression for the tests to compare the engine with: every
// rule is a pass that erases and inserts bytes one at a time and searches again from the
// start, exactly in the order the rules are written down. Only for short texts.
#pragma once

#include <string>

#include "engine/compress.h"
#include "engine/feedback.h"

namespace vk::reference {

// kCurrent: the block rules the engine follows. kPrevious: the rules before they kept words
// apart (a tab was always deleted, a line break before any '<' left nothing, every single
// blank between '>' and '<' went unless a lower-case 'a' followed the '<'); kept so that the
// tests can show the change touches nothing else.
enum class Rules { kCurrent, kPrevious };

// With kPrevious, `*spacingCase` (when given) is raised where the previous rules meet one of
// the three things the current rules treat differently: a tab run between two bytes that are
// not blanks, a line break that leaves a '<' of an inline element in its place, or a blank
// between '>' and '<' that the current rules keep. Where none arises, both give the same
// bytes. Never lowered.
struct RuleChoice {
  Rules rules = Rules::kCurrent;
  bool* spacingCase = nullptr;
};

// The block rules; returns Changed.
bool CompressHtmlBlock(std::string& text, Feedback& feedback, RuleChoice choice = {});

// Returns false after reporting a "<pre" without "</pre>" behind it.
bool CompressPreBlocks(const std::string& piece, std::string& result, const std::string& fileName,
                       Feedback& feedback, RuleChoice choice = {});

// Appends to `output`; returns false after reporting a missing end tag.
bool CompressScriptBlocks(const std::string& fileText, std::string& output, bool& writeNeeded,
                          const std::string& fileName, Feedback& feedback, RuleChoice choice = {});

// The steps for one file text after reading (tag names lowered first when a protected block
// is there). `output` is set only for kChanged.
CompressOutcome CompressHtmlText(const std::string& fileText, std::string& output,
                                 const std::string& fileName, Feedback& feedback,
                                 RuleChoice choice = {});

}  // namespace vk::reference
