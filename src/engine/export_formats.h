// The format tables a run decides by: which files it converts at all, and
// the target extension each export class gives a source extension. The run
// (ScriptRunner, ConversionController) and the file list, which shows what
// a run would leave out, read the same tables.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/nq_file_data_object.h"

namespace morvane {

// Source extension -> export class ("office", "iwork", "pdf") -> target
// extension.
using ExportFormatTable = std::map<std::string, std::map<std::string, std::string>>;
const ExportFormatTable& exportFormatTable();

// The target extensions of `extension` for the export classes that are on
// in `exportClassFlags` (shaped as MorvaneOptions::exportClassFlags), in
// the order of the flags; empty for an extension without a table row.
std::vector<std::string> exportTargets(const std::string& extension,
                                       const std::map<std::string, bool>& exportClassFlags);

// True for pages, numbers, key, docx, xlsx and pptx, exactly (no case
// folding): the extensions a file needs to be converted.
bool isConvertibleExtension(std::string_view extension);

// What a run does with one entry of its walk.
enum class RunTreatment {
  converted,     // planned with at least one target
  walked,        // a folder: its contents decide for themselves
  notConverted,  // copied or left, as the target options say
};

// A document package (a folder named *.pages, *.numbers, *.key) counts as
// one document; other folders are walked; a file or package is converted
// when its extension is convertible and one of the classes that are on
// gives it a target. Finder aliases are not told apart (that needs a read
// of the file); a run copies or skips them. Pure: no file-system access.
RunTreatment runTreatment(const NQFileDataObject& entry,
                          const std::map<std::string, bool>& exportClassFlags);

}  // namespace morvane
