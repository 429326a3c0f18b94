#include "base/observer_list.h"

#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

class Observer {
 public:
  virtual ~Observer() = default;
  virtual void Notify() = 0;
};

class Recorder : public Observer {
 public:
  Recorder(std::vector<Recorder*>* log, ObserverList<Observer>* list) : log_(log), list_(list) {}
  void Notify() override {
    log_->push_back(this);
    if (remove_)
      list_->RemoveObserver(remove_);
    if (add_)
      list_->AddObserver(add_);
  }
  Observer* remove_ = nullptr;
  Observer* add_ = nullptr;

 private:
  std::vector<Recorder*>* log_;
  ObserverList<Observer>* list_;
};

TEST(ObserverListTest, RemovalAndAdditionDuringIteration) {
  ObserverList<Observer> list;
  std::vector<Recorder*> log;
  Recorder a(&log, &list), b(&log, &list), c(&log, &list), d(&log, &list);
  list.AddObserver(&a);
  list.AddObserver(&b);
  list.AddObserver(&c);
  EXPECT_TRUE(list.HasObserver(&b));
  a.remove_ = &b;  // b is not notified any more
  a.add_ = &d;     // d joins after this pass
  for (Observer& o : list)
    o.Notify();
  EXPECT_EQ((std::vector<Recorder*>{&a, &c}), log);
  EXPECT_FALSE(list.HasObserver(&b));
  EXPECT_TRUE(list.HasObserver(&d));

  log.clear();
  a.remove_ = &a;  // removing itself
  a.add_ = nullptr;
  for (Observer& o : list)
    o.Notify();
  EXPECT_EQ((std::vector<Recorder*>{&a, &c, &d}), log);
  EXPECT_FALSE(list.HasObserver(&a));
  list.RemoveObserver(&c);
  list.RemoveObserver(&d);
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace base
