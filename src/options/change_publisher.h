// ChangePublisher: the options object's announcement channel. Every change
// of a published field is announced before the new value is stored, so an
// observer that wants the new value reads it on a later turn of its loop.
// Edits of the file list are also told, row by row, right around the edit
// itself, to observers that mirror the list (the list view's model).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <vector>

namespace morvane {

enum class OptionsField {
  fileList,
  selection,
  officeExport,
  iworkExport,
  pdfExport,
  rebuildStruct,
  copyNonconvertibleFiles,
  targetFolder,
  useCreatorStudio,
  continueAfterFailure,
};

// One structural edit of the file list. `rows` locates the entry: its row
// at the top level, then its row in each folder's contents down to it.
struct FileListEdit {
  enum class Kind {
    append,   // a new top-level entry at rows[0], the end of the list
    remove,   // the entry at `rows`, with everything below it
    replace,  // the whole list (rows empty)
  };
  Kind kind;
  std::vector<std::size_t> rows;
};

class ChangePublisher {
 public:
  using Observer = std::function<void(OptionsField)>;
  // Called with done == false just before the list changes (it still
  // holds the old entries) and with done == true right after the edit is
  // stored. The fileList announcement comes first, as for any change.
  using EditObserver = std::function<void(const FileListEdit& edit, bool done)>;
  using Token = std::size_t;

  // Observers are called in the order they subscribed.
  Token subscribe(Observer observer);
  Token subscribeToEdits(EditObserver observer);
  // Ends either kind of subscription.
  void unsubscribe(Token token);
  void announce(OptionsField field) const;
  void announceEdit(const FileListEdit& edit, bool done) const;

 private:
  Token next_ = 0;
  std::map<Token, Observer> observers_;
  std::map<Token, EditObserver> editObservers_;
};

}  // namespace morvane
