#include "engine/conversion_tables.h"

#include <algorithm>

#include "engine/export_formats.h"

namespace morvane {

ConversionTables::ConversionTables()
    : applications{"Pages",
                   "Numbers",
                   "Keynote",
                   "Pages Creator Studio",
                   "Numbers Creator Studio",
                   "Keynote Creator Studio"},
      appsForExtensions{{"pages", "Pages"},     {"docx", "Pages"},    {"doc", "Pages"},
                        {"rtf", "Pages"},       {"key", "Keynote"},   {"pptx", "Keynote"},
                        {"ppt", "Keynote"},     {"numbers", "Numbers"}, {"xlsx", "Numbers"},
                        {"xls", "Numbers"}},
      creatorStudioAppsForExtensions{
          {"pages", "Pages Creator Studio"},     {"docx", "Pages Creator Studio"},
          {"doc", "Pages Creator Studio"},       {"rtf", "Pages Creator Studio"},
          {"key", "Keynote Creator Studio"},     {"pptx", "Keynote Creator Studio"},
          {"ppt", "Keynote Creator Studio"},     {"numbers", "Numbers Creator Studio"},
          {"xlsx", "Numbers Creator Studio"},    {"xls", "Numbers Creator Studio"}},
      osaformatsForExtensions{{"pages", "Pages Format"},   {"docx", "Microsoft Word"},
                              {"rtf", "Formatted Text"},   {"key", "Keynote Format"},
                              {"pptx", "Microsoft Powerpoint"}, {"numbers", "Numbers Format"},
                              {"xlsx", "Microsoft Excel"}, {"pdf", "PDF"}},
      exportFormats(exportFormatTable()),
      iworkFormats{"pages", "numbers", "key"} {}

bool ConversionTables::isIworkFormat(const std::string& format) const {
  return std::find(iworkFormats.begin(), iworkFormats.end(), format) != iworkFormats.end();
}

}  // namespace morvane
