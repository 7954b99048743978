// The words half of the fidelity benchmark: which words a document shows,
// read from its own iWork index, and how many of them a converted file
// still holds. Words are runs of letters, four or more, compared
// case-insensitively and counted as multisets.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace morvane::fidelity {

// Each word of 4+ letters with how often it occurs, case-folded.
using WordCounts = std::map<std::string, std::size_t>;

// The words of UTF-8 text (NFKC case-folded, so that "ﬁle" is "file").
WordCounts wordsOf(std::string_view text);

// Adds `more` to `*words`, each word `times` times.
void addWords(const WordCounts& more, WordCounts* words, std::size_t times = 1);

// The share (0..1) of the occurrences of `wanted` that `found` holds: a
// word wanted 3 times and found once counts 1 of 3. 1 when nothing is wanted.
double keptShare(const WordCounts& wanted, const WordCounts& found);

// The visible text of Office XML: the content of its text elements (w:t,
// a:t, t) and what a sheet's cells show as text (the shared string a
// cell points to, the text its formula gave), entities decoded, with a
// space after each paragraph, cell, tab and break so that neighbouring
// runs do not merge into one word.
std::string officeXmlText(std::string_view xml, const std::vector<std::string>& sharedStrings = {});

// The items of an xlsx's shared strings, each as text.
std::vector<std::string> sharedStringItems(std::string_view xml);

// The text of a docx, pptx or xlsx file: the parts that show text on a
// page (body, headers, footers, notes of the text; slides; the cells and
// drawings of the sheets).
Status officeFileText(const std::string& path, std::string* text);

// What one decoded .iwa archive shows as text: text storages (their kind
// neither presenter notes nor a table of contents) and the strings of
// table data lists, each as often as cells use it.
Status iwaWords(std::string_view archive, WordCounts* words);

// What an iWork document shows as words.
struct IworkWords {
  WordCounts words;
  bool archive = false;             // false: an iWork '09 (XML) document, not read
  std::vector<std::string> unread;  // archives it cannot decode, left out
};

// The words of an iWork document (a zip archive; its index may sit in a
// nested Index.zip, and all its members under one top folder). Archives
// of masters, template slides and style sheets are left out, and so are
// archives it cannot decode (some are compressed otherwise, such as the
// undo history), which it names in `unread`.
Status iworkDocumentWords(const std::string& path, IworkWords* result);

}  // namespace morvane::fidelity
