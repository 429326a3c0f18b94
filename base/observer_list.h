// A list of observers for one sequence. Observers may be added or removed
// while the list is being iterated (also from inside a notification): a
// removed observer is not notified afterwards, one added during an iteration
// is not notified by that iteration. Adding an observer twice is refused
// (DCHECK) and ignored.
//
//   for (Observer& o : observers_) o.OnSomething();

#ifndef BASE_OBSERVER_LIST_H_
#define BASE_OBSERVER_LIST_H_

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/logging.h"

namespace base {

template <class ObserverType>
class ObserverList {
 public:
  class Iter {
   public:
    using value_type = ObserverType;
    using reference = ObserverType&;

    Iter(ObserverList* list, size_t index, size_t end) : list_(list), index_(index), end_(end) {
      if (list_)
        ++list_->iteration_depth_;
      SkipRemoved();
    }
    Iter(const Iter&) = delete;
    Iter& operator=(const Iter&) = delete;
    ~Iter() {
      if (list_ && --list_->iteration_depth_ == 0)
        list_->Compact();
    }

    bool operator!=(const Iter& other) const { return index_ != other.index_; }
    Iter& operator++() {
      ++index_;
      SkipRemoved();
      return *this;
    }
    ObserverType& operator*() const { return *list_->observers_[index_]; }
    ObserverType* operator->() const { return list_->observers_[index_]; }

   private:
    void SkipRemoved() {
      while (index_ < end_ && !list_->observers_[index_])
        ++index_;
    }

    ObserverList* list_;
    size_t index_;
    size_t end_;
  };

  ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;
  ~ObserverList() = default;

  // Observers added during an iteration are beyond its end and not visited.
  Iter begin() { return Iter(this, 0, observers_.size()); }
  Iter end() { return Iter(nullptr, observers_.size(), observers_.size()); }

  void AddObserver(ObserverType* observer) {
    DCHECK(observer);
    if (!observer || HasObserver(observer)) {
      DCHECK(false) << "Observer added twice";
      return;
    }
    observers_.push_back(observer);
  }

  // Removing an observer that is not in the list does nothing.
  void RemoveObserver(const ObserverType* observer) {
    auto it = std::find(observers_.begin(), observers_.end(), observer);
    if (it == observers_.end())
      return;
    if (iteration_depth_ > 0)
      *it = nullptr;
    else
      observers_.erase(it);
  }

  bool HasObserver(const ObserverType* observer) const {
    return observer &&
           std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
  }

  void Clear() {
    if (iteration_depth_ > 0)
      std::fill(observers_.begin(), observers_.end(), nullptr);
    else
      observers_.clear();
  }

  bool empty() const {
    return std::all_of(observers_.begin(), observers_.end(),
                       [](ObserverType* o) { return o == nullptr; });
  }

 private:
  void Compact() { std::erase(observers_, nullptr); }

  std::vector<ObserverType*> observers_;
  int iteration_depth_ = 0;
};

}  // namespace base

#endif  // BASE_OBSERVER_LIST_H_
