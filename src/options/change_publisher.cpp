#include "options/change_publisher.h"

#include <utility>
#include <vector>

namespace morvane {

ChangePublisher::Token ChangePublisher::subscribe(Observer observer) {
  observers_.emplace(next_, std::move(observer));
  return next_++;
}

void ChangePublisher::unsubscribe(Token token) { observers_.erase(token); }

void ChangePublisher::announce(OptionsField field) const {
  // Copy first: an observer may subscribe or unsubscribe while being told.
  std::vector<Observer> current;
  current.reserve(observers_.size());
  for (const auto& [token, observer] : observers_) current.push_back(observer);
  for (const Observer& observer : current) observer(field);
}

}  // namespace morvane
