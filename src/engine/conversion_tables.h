// ConversionTables: the tables a run plans and writes its script by: the
// application that opens each source extension (the usual ones and the
// Creator Studio ones), the script's name of each export format, the
// export classes' targets and the formats that are iWork's own (saved,
// not exported).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace morvane {

using StringMap = std::map<std::string, std::string>;

struct ConversionTables {
  // The standard tables; no case folding anywhere ("DOCX" is in none).
  ConversionTables();

  // The applications a run plans for: the three iWork applications and
  // their Creator Studio forms.
  std::vector<std::string> applications;
  StringMap appsForExtensions;
  StringMap creatorStudioAppsForExtensions;
  StringMap osaformatsForExtensions;
  std::map<std::string, StringMap> exportFormats;
  std::vector<std::string> iworkFormats;

  // Whether a target format is written with "save" (iWork's own formats)
  // rather than "export … as".
  bool isIworkFormat(const std::string& format) const;
};

}  // namespace morvane
