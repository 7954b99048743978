// ChangePublisher: the options object's announcement channel. Every change
// of a published field is announced before the new value is stored, so an
// observer that wants the new value reads it on a later turn of its loop.
#pragma once

#include <cstddef>
#include <functional>
#include <map>

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

class ChangePublisher {
 public:
  using Observer = std::function<void(OptionsField)>;
  using Token = std::size_t;

  // Observers are called in the order they subscribed.
  Token subscribe(Observer observer);
  void unsubscribe(Token token);
  void announce(OptionsField field) const;

 private:
  Token next_ = 0;
  std::map<Token, Observer> observers_;
};

}  // namespace morvane
