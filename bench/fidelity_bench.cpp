// The measuring tool behind bench/fidelity: the pieces of the fidelity
// benchmark that need the project's iWork decoding or a JPEG decoder.
//   morvane_fidelity_bench preview DOC OUT.jpg   Apple's picture of page 1 (exit 1: none)
//   morvane_fidelity_bench size PICTURE.jpg      its width and height
//   morvane_fidelity_bench likeness PREVIEW.jpg PAGE.pgm
//   morvane_fidelity_bench words DOC PDF.txt OFFICE.docx|pptx|xlsx
//        % of the words kept in each, then a note ("n/a n/a WHY" for iWork '09 and
//        documents without words)
//   morvane_fidelity_bench list-words DOC        the document's words with their counts
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fidelity_image.h"
#include "fidelity_text.h"
#include "office/iwork_package.h"

namespace {

using morvane::Status;
namespace fidelity = morvane::fidelity;

int fail(const Status& s) {
  std::fprintf(stderr, "morvane_fidelity_bench: %s\n", s.message().c_str());
  return 1;
}

int usage() {
  std::fprintf(
      stderr,
      "usage: morvane_fidelity_bench preview DOC OUT.jpg | size PICTURE.jpg |\n"
      "       likeness PREVIEW.jpg PAGE.pgm | words DOC PDF.txt OFFICE | list-words DOC\n");
  return 2;
}

int extractPreview(const std::string& document, const std::string& out) {
  std::string bytes;
  if (!morvane::readDocumentPart(document, "preview.jpg", &bytes).ok()) return 1;
  std::ofstream(out, std::ios::binary) << bytes;
  return 0;
}

int printSize(const std::string& picture) {
  fidelity::GreyImage image;
  if (Status s = fidelity::readJpegGrey(picture, &image); !s.ok()) return fail(s);
  std::printf("%d %d\n", image.width, image.height);
  return 0;
}

int printLikeness(const std::string& preview, const std::string& page) {
  fidelity::GreyImage reference, rendered;
  if (Status s = fidelity::readJpegGrey(preview, &reference); !s.ok()) return fail(s);
  if (Status s = fidelity::readPgm(page, &rendered); !s.ok()) return fail(s);
  std::printf("%.3f\n", fidelity::likeness(reference, rendered));
  return 0;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The share of `wanted` kept in `text`, as a percentage.
std::string percentKept(const fidelity::WordCounts& wanted, const std::string& text) {
  char figure[16];
  std::snprintf(figure, sizeof figure, "%.1f",
                100.0 * fidelity::keptShare(wanted, fidelity::wordsOf(text)));
  return figure;
}

// What the note of a row says about the document's words.
std::string wordsNote(const fidelity::IworkWords& document) {
  std::string note = !document.archive        ? "iWork '09, words not read"
                     : document.words.empty() ? "no words of 4+ letters"
                                              : "";
  std::string unread;
  for (const std::string& name : document.unread) unread += (unread.empty() ? "" : ", ") + name;
  if (!unread.empty()) note += (note.empty() ? "unread: " : "; unread: ") + unread;
  return note;
}

int printWordsKept(const std::string& path, const std::string& pdfText, const std::string& office) {
  fidelity::IworkWords document;
  if (Status s = fidelity::iworkDocumentWords(path, &document); !s.ok()) return fail(s);
  const std::string note = wordsNote(document);
  if (!document.archive || document.words.empty()) {
    std::printf("n/a n/a %s\n", note.c_str());
    return 0;
  }
  std::string officeText;
  if (!office.empty()) {
    if (Status s = fidelity::officeFileText(office, &officeText); !s.ok()) return fail(s);
  }
  std::printf("%s %s %s\n",
              percentKept(document.words, pdfText.empty() ? "" : fileText(pdfText)).c_str(),
              percentKept(document.words, officeText).c_str(), note.c_str());
  return 0;
}

int listWords(const std::string& path) {
  fidelity::IworkWords document;
  if (Status s = fidelity::iworkDocumentWords(path, &document); !s.ok()) return fail(s);
  for (const auto& [word, count] : document.words) std::printf("%zu %s\n", count, word.c_str());
  if (const std::string note = wordsNote(document); !note.empty()) {
    std::fprintf(stderr, "%s\n", note.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "preview") return extractPreview(args[1], args[2]);
  if (args.size() == 2 && args[0] == "size") return printSize(args[1]);
  if (args.size() == 3 && args[0] == "likeness") return printLikeness(args[1], args[2]);
  if (args.size() == 4 && args[0] == "words") return printWordsKept(args[1], args[2], args[3]);
  if (args.size() == 2 && args[0] == "list-words") return listWords(args[1]);
  return usage();
}
