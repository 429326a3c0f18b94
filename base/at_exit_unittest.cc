#include "base/at_exit.h"

#include <atomic>
#include <vector>

#include "base/functional/bind.h"
#include "base/lazy_instance_helpers.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/thread.h"
#include "gtest/gtest.h"

namespace base {
namespace {

std::vector<int>* g_order = nullptr;

void RecordParam(void* param) {
  g_order->push_back(*static_cast<int*>(param));
}

TEST(AtExitManagerTest, RunsCallbacksInReverseOrder) {
  std::vector<int> order;
  g_order = &order;
  int one = 1;
  int two = 2;
  {
    ShadowingAtExitManager manager;
    AtExitManager::RegisterCallback(&RecordParam, &one);
    AtExitManager::RegisterTask(BindOnce([](std::vector<int>* o) { o->push_back(3); }, &order));
    AtExitManager::RegisterCallback(&RecordParam, &two);
  }
  EXPECT_EQ((std::vector<int>{2, 3, 1}), order);
  {
    ShadowingAtExitManager manager;
    AtExitManager::RegisterCallback(&RecordParam, &one);
    AtExitManager::ProcessCallbacksNow();
    EXPECT_EQ(4u, order.size());
  }
  EXPECT_EQ(4u, order.size());
  g_order = nullptr;
}

struct Built {
  Built() { ++constructed; }
  ~Built() { ++destroyed; }
  static std::atomic<int> constructed;
  static std::atomic<int> destroyed;
};
std::atomic<int> Built::constructed{0};
std::atomic<int> Built::destroyed{0};

std::atomic<uintptr_t> g_word{0};

void DestroyBuilt(void* word) {
  auto* state = static_cast<std::atomic<uintptr_t>*>(word);
  delete reinterpret_cast<Built*>(state->load());
  state->store(0);
}

Built* GetBuilt() {
  return GetOrCreateLazyPointer<Built>(
      g_word,
      [] {
        Sleep(5);  // widens the window in which others find the word at 1
        return new Built();
      },
      &DestroyBuilt, &g_word);
}

TEST(LazyInstanceTest, ConcurrentFirstCallsBuildOneObjectDestroyedAtExit) {
  Built::constructed = 0;
  Built::destroyed = 0;
  {
    ShadowingAtExitManager manager;
    WaitableEvent go;
    std::atomic<Built*> seen[4] = {};
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 0; i < 4; ++i) {
      threads.push_back(std::make_unique<Thread>("Lazy" + std::to_string(i)));
      ASSERT_TRUE(threads.back()->Start());
      threads.back()->task_runner()->PostTask(
          FROM_HERE, BindOnce(
                         [](WaitableEvent* go, std::atomic<Built*>* out) {
                           go->Wait();
                           *out = GetBuilt();
                         },
                         &go, &seen[i]));
    }
    go.Signal();
    threads.clear();  // joins
    EXPECT_EQ(1, Built::constructed.load());
    for (auto& s : seen)
      EXPECT_EQ(seen[0].load(), s.load());
    EXPECT_EQ(0, Built::destroyed.load());
  }
  EXPECT_EQ(1, Built::destroyed.load());
  EXPECT_EQ(0u, g_word.load());
}

}  // namespace
}  // namespace base
