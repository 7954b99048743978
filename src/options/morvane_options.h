// MorvaneOptions: the one object holding the user's choices for a run:
// the file list, the selection, the export classes, the structure options,
// the target folder and the Creator Studio switch. Each setter announces
// the change on publisher() before the value is stored; every append,
// removal and replacement of file-list entries is also told as an edit
// (ChangePublisher::announceEdit) around the change. Main thread only.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/env.h"
#include "filelist/nq_file_data_object.h"
#include "filelist/uuid.h"
#include "options/change_publisher.h"
#include "options/system_version.h"

namespace morvane {

class MorvaneOptions {
 public:
  // Defaults: Office export on, everything else off, no target folder.
  // On 26.0.0 and later useCreatorStudio is then set (and announced).
  // `env` scans the folders that addFile is given; it must outlive this.
  MorvaneOptions(const SystemVersion& version, Env& env);
  MorvaneOptions(const MorvaneOptions&) = delete;
  MorvaneOptions& operator=(const MorvaneOptions&) = delete;

  ChangePublisher& publisher() { return publisher_; }

  const std::vector<NQFileDataObject>& fileList() const { return fileList_; }
  const std::unordered_set<Uuid>& selection() const { return selection_; }
  bool officeExport() const { return officeExport_; }
  bool iworkExport() const { return iworkExport_; }
  bool pdfExport() const { return pdfExport_; }
  bool rebuildStruct() const { return rebuildStruct_; }
  bool copyNonconvertibleFiles() const { return copyNonconvertibleFiles_; }
  // A failed document is recorded and the run goes on with the next
  // (off by default: the first failure ends the run).
  bool continueAfterFailure() const { return continueAfterFailure_; }
  const std::optional<fs::path>& targetFolder() const { return targetFolder_; }
  bool useCreatorStudio() const { return useCreatorStudio_; }

  void setFileList(std::vector<NQFileDataObject> list);
  void setSelection(std::unordered_set<Uuid> selection);
  void setOfficeExport(bool on);
  void setIworkExport(bool on);
  void setPdfExport(bool on);
  void setRebuildStruct(bool on);
  void setCopyNonconvertibleFiles(bool on);
  void setContinueAfterFailure(bool on);
  void setTargetFolder(std::optional<fs::path> folder);
  void setUseCreatorStudio(bool on);

  // Appends one top-level entry (level 0, a folder scanned at once).
  // No de-duplication: the same location twice gives two entries.
  void addFile(const fs::path& url);
  // Appends an entry that was already built (level 0, top-level).
  void appendEntry(NQFileDataObject entry);

  // {"office": officeExport, "iwork": iworkExport, "pdf": pdfExport},
  // built afresh on every call.
  std::map<std::string, bool> exportClassFlags() const;

  // Removes every selected entry wherever it lies in the tree (a folder
  // with everything below it), ignores ids that match nothing, then
  // empties the selection.
  void removeSelectedEntries();

  // Finds the entry with `id` at any depth; null when there is none.
  const NQFileDataObject* findEntry(const Uuid& id) const;

 private:
  template <typename T>
  void store(T& field, T value, OptionsField which);
  void removeTopLevelOrNested(const Uuid& id);

  Env& env_;
  ChangePublisher publisher_;
  std::vector<NQFileDataObject> fileList_;
  std::unordered_set<Uuid> selection_;
  bool officeExport_ = true;
  bool iworkExport_ = false;
  bool pdfExport_ = false;
  bool rebuildStruct_ = false;
  bool copyNonconvertibleFiles_ = false;
  bool continueAfterFailure_ = false;
  std::optional<fs::path> targetFolder_;
  bool useCreatorStudio_ = false;
};

}  // namespace morvane
