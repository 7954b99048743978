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

// Removes the first child with `id`; failing that, looks in every
// subfolder. `rows` locates `folder` on the way in and is left as it was;
// each removal is told to the edit observers around it.
void removeNestedEntry(NQFileDataObject& folder, const Uuid& id, std::vector<std::size_t>& rows,
                       const ChangePublisher& publisher) {
  auto& children = *folder.dirContents;
  auto it = std::find_if(children.begin(), children.end(),
                         [&](const NQFileDataObject& c) { return c.id == id; });
  if (it != children.end()) {
    rows.push_back(static_cast<std::size_t>(it - children.begin()));
    const FileListEdit edit{FileListEdit::Kind::remove, rows};
    rows.pop_back();
    publisher.announceEdit(edit, false);
    children.erase(it);
    publisher.announceEdit(edit, true);
    return;
  }
  for (std::size_t row = 0; row < children.size(); ++row) {
    NQFileDataObject& child = children[row];
    if (!child.isDir || !child.dirContents) continue;
    rows.push_back(row);
    removeNestedEntry(child, id, rows, publisher);
    rows.pop_back();
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
  publisher_.announce(OptionsField::fileList);
  const FileListEdit edit{FileListEdit::Kind::replace, {}};
  publisher_.announceEdit(edit, false);
  fileList_ = std::move(list);
  publisher_.announceEdit(edit, true);
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
  const FileListEdit edit{FileListEdit::Kind::append, {fileList_.size()}};
  publisher_.announceEdit(edit, false);
  fileList_.push_back(std::move(entry));
  publisher_.announceEdit(edit, true);
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
    const FileListEdit edit{FileListEdit::Kind::remove,
                            {static_cast<std::size_t>(it - fileList_.begin())}};
    publisher_.announceEdit(edit, false);
    fileList_.erase(it);
    publisher_.announceEdit(edit, true);
    return;
  }
  std::vector<std::size_t> rows;
  for (std::size_t row = 0; row < fileList_.size(); ++row) {
    NQFileDataObject& entry = fileList_[row];
    if (!entry.isDir || !entry.dirContents) continue;
    publisher_.announce(OptionsField::fileList);
    rows.assign(1, row);
    removeNestedEntry(entry, id, rows, publisher_);
  }
}

const NQFileDataObject* MorvaneOptions::findEntry(const Uuid& id) const {
  return findIn(fileList_, id);
}

}  // namespace morvane
