#include "options/morvane_options.h"

#include <algorithm>
#include <utility>

namespace morvane {

namespace {

const NQFileDataObject* findIn(const std::vector<NQFileDataObject>& entries, const Uuid& id) {
  for (const NQFileDataObject& e : entries) {
    if (e.id == id) return &e;
    if (e.dirContents) {
      if (const NQFileDataObject* found = findIn(*e.dirContents, id)) return found;
    }
  }
  return nullptr;
}

// Removes the first child with `id`; failing that, looks in every subfolder.
void removeNestedEntry(NQFileDataObject& folder, const Uuid& id) {
  auto& children = *folder.dirContents;
  auto it = std::find_if(children.begin(), children.end(),
                         [&](const NQFileDataObject& c) { return c.id == id; });
  if (it != children.end()) {
    children.erase(it);
    return;
  }
  for (NQFileDataObject& child : children) {
    if (child.isDir && child.dirContents) removeNestedEntry(child, id);
  }
}

}  // namespace

MorvaneOptions::MorvaneOptions(const SystemVersion& version, Env& env) : env_(env) {
  if (version.current().isAtLeast(26, 0, 0)) setUseCreatorStudio(true);
}

template <typename T>
void MorvaneOptions::store(T& field, T value, OptionsField which) {
  publisher_.announce(which);
  field = std::move(value);
}

void MorvaneOptions::setFileList(std::vector<NQFileDataObject> list) {
  store(fileList_, std::move(list), OptionsField::fileList);
}
void MorvaneOptions::setSelection(std::unordered_set<Uuid> selection) {
  store(selection_, std::move(selection), OptionsField::selection);
}
void MorvaneOptions::setOfficeExport(bool on) { store(officeExport_, on, OptionsField::officeExport); }
void MorvaneOptions::setIworkExport(bool on) { store(iworkExport_, on, OptionsField::iworkExport); }
void MorvaneOptions::setPdfExport(bool on) { store(pdfExport_, on, OptionsField::pdfExport); }
void MorvaneOptions::setRebuildStruct(bool on) {
  store(rebuildStruct_, on, OptionsField::rebuildStruct);
}
void MorvaneOptions::setCopyNonconvertibleFiles(bool on) {
  store(copyNonconvertibleFiles_, on, OptionsField::copyNonconvertibleFiles);
}

void MorvaneOptions::setContinueAfterFailure(bool on) {
  store(continueAfterFailure_, on, OptionsField::continueAfterFailure);
}
void MorvaneOptions::setTargetFolder(std::optional<fs::path> folder) {
  store(targetFolder_, std::move(folder), OptionsField::targetFolder);
}
void MorvaneOptions::setUseCreatorStudio(bool on) {
  store(useCreatorStudio_, on, OptionsField::useCreatorStudio);
}

void MorvaneOptions::addFile(const fs::path& url) {
  publisher_.announce(OptionsField::fileList);
  appendEntry(NQFileDataObject(url, 0, true, env_));
}

void MorvaneOptions::appendEntry(NQFileDataObject entry) {
  publisher_.announce(OptionsField::fileList);
  fileList_.push_back(std::move(entry));
}

std::map<std::string, bool> MorvaneOptions::exportClassFlags() const {
  return {{"office", officeExport_}, {"iwork", iworkExport_}, {"pdf", pdfExport_}};
}

void MorvaneOptions::removeSelectedEntries() {
  const std::unordered_set<Uuid> ids = selection_;
  for (const Uuid& id : ids) removeTopLevelOrNested(id);
  setSelection({});
}

void MorvaneOptions::removeTopLevelOrNested(const Uuid& id) {
  auto it = std::find_if(fileList_.begin(), fileList_.end(),
                         [&](const NQFileDataObject& e) { return e.id == id; });
  if (it != fileList_.end()) {
    publisher_.announce(OptionsField::fileList);
    fileList_.erase(it);
    return;
  }
  for (NQFileDataObject& entry : fileList_) {
    if (!entry.isDir || !entry.dirContents) continue;
    publisher_.announce(OptionsField::fileList);
    removeNestedEntry(entry, id);
  }
}

const NQFileDataObject* MorvaneOptions::findEntry(const Uuid& id) const {
  return findIn(fileList_, id);
}

}  // namespace morvane
