#include "engine/export_formats.h"

#include <array>

#include "engine/conversion_controller.h"
#include "engine/target_paths.h"

namespace morvane {

const ExportFormatTable& exportFormatTable() {
  static const ExportFormatTable table = {
      {"pages", {{"office", "docx"}, {"pdf", "pdf"}}},
      {"numbers", {{"office", "xlsx"}, {"pdf", "pdf"}}},
      {"key", {{"office", "pptx"}, {"pdf", "pdf"}}},
      {"docx", {{"iwork", "pages"}, {"pdf", "pdf"}}},
      {"doc", {{"iwork", "pages"}, {"pdf", "pdf"}}},
      {"pptx", {{"iwork", "key"}, {"pdf", "pdf"}}},
      {"ppt", {{"iwork", "key"}, {"pdf", "pdf"}}},
      {"xlsx", {{"iwork", "numbers"}, {"pdf", "pdf"}}},
      {"xls", {{"iwork", "numbers"}, {"pdf", "pdf"}}},
      {"rtf", {{"office", "docx"}, {"iwork", "pages"}, {"pdf", "pdf"}}}};
  return table;
}

std::vector<std::string> exportTargets(const std::string& extension,
                                       const std::map<std::string, bool>& exportClassFlags) {
  std::vector<std::string> formats;
  const auto row = exportFormatTable().find(extension);
  if (row == exportFormatTable().end()) return formats;
  for (const auto& [exportClass, on] : exportClassFlags) {
    if (!on) continue;
    if (auto it = row->second.find(exportClass); it != row->second.end()) {
      formats.push_back(it->second);
    }
  }
  return formats;
}

bool isConvertibleExtension(std::string_view extension) {
  static constexpr std::array<std::string_view, 6> kConvertible = {"pages", "numbers", "key",
                                                                  "docx",  "xlsx",    "pptx"};
  for (std::string_view c : kConvertible) {
    if (extension == c) return true;
  }
  return false;
}

RunTreatment runTreatment(const NQFileDataObject& entry,
                          const std::map<std::string, bool>& exportClassFlags) {
  const bool package = ConversionController::isIworkPackage(entry);
  if (entry.isDir && !package) return RunTreatment::walked;
  if (entry.isSpecial) return RunTreatment::notConverted;
  const std::string ext = pathExtension(entry.url);
  if (!package && !isConvertibleExtension(ext)) return RunTreatment::notConverted;
  return exportTargets(ext, exportClassFlags).empty() ? RunTreatment::notConverted
                                                      : RunTreatment::converted;
}

std::optional<MissingExport> missingExport(const std::string& extension,
                                           const std::map<std::string, bool>& exportClassFlags) {
  const auto row = exportFormatTable().find(extension);
  if (row == exportFormatTable().end()) return std::nullopt;
  MissingExport missing{extension, {}, {}};
  for (const auto& [exportClass, on] : exportClassFlags) {
    const bool gives = row->second.contains(exportClass);
    if (on && gives) return std::nullopt;
    if (on) missing.classesOn.push_back(exportClass);
    if (gives) missing.classesWithExport.push_back(exportClass);
  }
  return missing;
}

std::optional<MissingExport> missingExport(const NQFileDataObject& entry,
                                           const std::map<std::string, bool>& exportClassFlags) {
  const bool package = ConversionController::isIworkPackage(entry);
  if ((entry.isDir && !package) || entry.isSpecial) return std::nullopt;
  const std::string ext = pathExtension(entry.url);
  if (!package && !isConvertibleExtension(ext)) return std::nullopt;
  return missingExport(ext, exportClassFlags);
}

namespace {

void forecastEntries(const std::vector<NQFileDataObject>& entries,
                     const std::map<std::string, bool>& flags, bool copyOthers,
                     RunForecast* forecast) {
  for (const NQFileDataObject& entry : entries) {
    switch (runTreatment(entry, flags)) {
      case RunTreatment::converted: ++forecast->converted; break;
      case RunTreatment::walked:
        if (entry.dirContents) forecastEntries(*entry.dirContents, flags, copyOthers, forecast);
        break;
      case RunTreatment::notConverted:
        if (std::optional<MissingExport> missing = missingExport(entry, flags)) {
          forecast->withoutExport.push_back({entry.url.string(), std::move(*missing)});
        } else if (copyOthers && !entry.isSpecial) {
          ++forecast->copied;
        }
        break;
    }
  }
}

}  // namespace

RunForecast forecastRun(const std::vector<NQFileDataObject>& list,
                        const std::map<std::string, bool>& exportClassFlags, bool copyOthers) {
  RunForecast forecast;
  forecastEntries(list, exportClassFlags, copyOthers, &forecast);
  return forecast;
}

}  // namespace morvane
