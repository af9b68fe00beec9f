// What a reader sees of an HTML page, as a list of words, so that tests can prove that a
// transformation changes how a page is written but not what it says. A small reading of HTML,
// close to a browser's where white space and words are concerned; it never fails on bad markup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk::test {

// How the page's own bytes from 0x80 up are read: kept as they are (a UTF-8 page), or as
// Windows-1252 characters, given in UTF-8.
enum class PageEncoding { kUtf8, kWindows1252 };

// The words of `page`'s visible text, in order, in UTF-8. Left out: tags, comments, <!...>
// and <?...> declarations, and the content of <script> and <style>; the text of <pre> counts
// like any other. Character references become their characters: the named ones of HTML 4.01
// and &apos; (with their ';'), decimal and hexadecimal ones (';' optional; 0x80..0x9F read as
// Windows-1252, as browsers do). Words end at white space (blank, tab, LF, FF, CR, also when
// written as a reference) and at the tag of an element that starts a block or a line (p, div,
// br, td, li, h1, ...); the tags of other elements (b, span, a, img, unknown ones) and comments
// do not split a word. A no-break space is no white space.
std::vector<std::string> VisibleWords(std::string_view page,
                                      PageEncoding encoding = PageEncoding::kUtf8);

// How the words of two versions of a page differ, as multisets: the words that `after` holds
// fewer times than `before` (each as often as it is missing) and those it holds more often.
// Both are empty exactly when the two lists hold the same words, whatever their order.
struct WordChanges {
  std::vector<std::string> lost;
  std::vector<std::string> gained;
  bool empty() const { return lost.empty() && gained.empty(); }
};
WordChanges CompareWords(const std::vector<std::string>& before,
                         const std::vector<std::string>& after);

}  // namespace vk::test
