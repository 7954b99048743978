#include "options/change_publisher.h"

#include <utility>
#include <vector>

namespace morvane {

namespace {

// Copies first: an observer may subscribe or unsubscribe while being told.
template <typename F, typename... Args>
void tellAll(const std::map<ChangePublisher::Token, F>& observers, const Args&... args) {
  std::vector<F> current;
  current.reserve(observers.size());
  for (const auto& [token, observer] : observers) current.push_back(observer);
  for (const F& observer : current) observer(args...);
}

}  // namespace

ChangePublisher::Token ChangePublisher::subscribe(Observer observer) {
  observers_.emplace(next_, std::move(observer));
  return next_++;
}

ChangePublisher::Token ChangePublisher::subscribeToEdits(EditObserver observer) {
  editObservers_.emplace(next_, std::move(observer));
  return next_++;
}

void ChangePublisher::unsubscribe(Token token) {
  observers_.erase(token);
  editObservers_.erase(token);
}

void ChangePublisher::announce(OptionsField field) const { tellAll(observers_, field); }

void ChangePublisher::announceEdit(const FileListEdit& edit, bool done) const {
  tellAll(editObservers_, edit, done);
}

}  // namespace morvane
