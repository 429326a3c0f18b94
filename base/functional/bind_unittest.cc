#include "base/functional/bind.h"

#include <memory>
#include <string>

#include "base/functional/callback_helpers.h"
#include "base/memory/ref_counted.h"
#include "base/memory/weak_ptr.h"
#include "gtest/gtest.h"

namespace base {
namespace {

int Add(int a, int b, int c) {
  return a * 100 + b * 10 + c;
}

int TakeUnique(std::unique_ptr<int> value) {
  return value ? *value : -1;
}

class Counter {
 public:
  void Increment(int by) { count_ += by; }
  int count() const { return count_; }
  WeakPtr<Counter> GetWeakPtr() { return weak_factory_.GetWeakPtr(); }
  void InvalidateWeakPtrs() { weak_factory_.InvalidateWeakPtrs(); }

 private:
  int count_ = 0;
  WeakPtrFactory<Counter> weak_factory_{this};
};

class RefCountedCounter : public RefCountedThreadSafe<RefCountedCounter> {
 public:
  explicit RefCountedCounter(bool* deleted) : deleted_(deleted) {}
  void Increment() { ++count_; }
  int count() const { return count_; }

 private:
  friend class RefCountedThreadSafe<RefCountedCounter>;
  ~RefCountedCounter() { *deleted_ = true; }
  bool* deleted_;
  int count_ = 0;
};

TEST(BindTest, PartialApplicationOfFreeFunctionsAndLambdas) {
  OnceCallback<int(int, int)> once = BindOnce(&Add, 1);
  EXPECT_EQ(123, std::move(once).Run(2, 3));
  EXPECT_TRUE(once.is_null());

  RepeatingCallback<int(int)> repeating = BindRepeating(&Add, 4, 5);
  EXPECT_EQ(456, repeating.Run(6));
  EXPECT_EQ(457, repeating.Run(7));

  std::string prefix = "a";
  auto concat = BindRepeating([](const std::string& p, const std::string& s) { return p + s; },
                              prefix);
  EXPECT_EQ("ab", concat.Run("b"));

  // A repeating callback converts to a once callback of the same signature.
  OnceCallback<int(int)> converted = repeating;
  EXPECT_EQ(458, std::move(converted).Run(8));
  EXPECT_EQ(459, repeating.Run(9));
}

TEST(BindTest, MoveOnlyArgumentsAndCaptures) {
  EXPECT_EQ(7, BindOnce(&TakeUnique, std::make_unique<int>(7)).Run());

  auto capture = std::make_unique<int>(8);
  OnceCallback<int()> lambda = BindOnce([p = std::move(capture)]() { return *p; });
  OnceCallback<int()> moved = std::move(lambda);
  EXPECT_TRUE(lambda.is_null());
  EXPECT_EQ(8, std::move(moved).Run());

  // Passed hands the value to the first Run only.
  RepeatingCallback<int()> passed = BindRepeating(&TakeUnique, Passed(std::make_unique<int>(9)));
  EXPECT_EQ(9, passed.Run());

  // Unbound move-only arguments are forwarded.
  OnceCallback<int(std::unique_ptr<int>)> unbound = BindOnce(&TakeUnique);
  EXPECT_EQ(10, std::move(unbound).Run(std::make_unique<int>(10)));
}

TEST(BindTest, MemberFunctionReceivers) {
  Counter counter;
  RepeatingCallback<void(int)> raw = BindRepeating(&Counter::Increment, Unretained(&counter));
  raw.Run(2);
  BindOnce(&Counter::Increment, &counter, 3).Run();
  EXPECT_EQ(5, counter.count());

  bool deleted = false;
  OnceClosure keeps_alive;
  {
    auto object = MakeRefCounted<RefCountedCounter>(&deleted);
    keeps_alive = BindOnce(&RefCountedCounter::Increment, object);
    EXPECT_FALSE(object->HasOneRef());
  }
  EXPECT_FALSE(deleted);
  std::move(keeps_alive).Run();
  // The bound reference went with the consumed callback.
  EXPECT_TRUE(deleted);

  // Owned receivers die with the callback.
  bool owned_deleted = false;
  {
    struct Owned {
      explicit Owned(bool* d) : deleted(d) {}
      ~Owned() { *deleted = true; }
      int Get() const { return 11; }
      bool* deleted;
    };
    auto callback = BindRepeating(&Owned::Get, base::Owned(new Owned(&owned_deleted)));
    EXPECT_EQ(11, callback.Run());
    EXPECT_FALSE(owned_deleted);
  }
  EXPECT_TRUE(owned_deleted);
}

TEST(BindTest, InvalidatedWeakReceiverMakesRunANoOp) {
  Counter counter;
  RepeatingCallback<void(int)> weak = BindRepeating(&Counter::Increment, counter.GetWeakPtr());
  OnceClosure once = BindOnce(&Counter::Increment, counter.GetWeakPtr(), 5);
  weak.Run(1);
  EXPECT_EQ(1, counter.count());
  EXPECT_FALSE(weak.IsCancelled());

  counter.InvalidateWeakPtrs();
  EXPECT_TRUE(weak.IsCancelled());
  weak.Run(1);
  std::move(once).Run();
  EXPECT_EQ(1, counter.count());

  // Weak pointers taken after the invalidation work again.
  BindOnce(&Counter::Increment, counter.GetWeakPtr(), 2).Run();
  EXPECT_EQ(3, counter.count());
}

TEST(BindTest, WeakPtrFactoryTracksOutstandingPointers) {
  auto counter = std::make_unique<Counter>();
  WeakPtrFactory<Counter> factory(counter.get());
  EXPECT_FALSE(factory.HasWeakPtrs());
  EXPECT_TRUE(factory.GetWeakPtr());
  EXPECT_FALSE(factory.HasWeakPtrs());  // the temporary is gone
  WeakPtr<Counter> weak = counter->GetWeakPtr();
  WeakPtr<Counter> from_factory = factory.GetWeakPtr();
  EXPECT_TRUE(factory.HasWeakPtrs());
  EXPECT_EQ(counter.get(), weak.get());
  factory.InvalidateWeakPtrs();
  EXPECT_FALSE(from_factory);
  EXPECT_TRUE(weak);
  counter.reset();
  EXPECT_FALSE(weak);
  EXPECT_EQ(nullptr, weak.get());
}

TEST(CallbackHelpersTest, DoNothingBarrierAndScopedRunner) {
  OnceCallback<void(int, const std::string&)> nothing = DoNothing();
  std::move(nothing).Run(1, "x");

  int done = 0;
  RepeatingClosure barrier = BarrierClosure(3, BindOnce([](int* d) { ++*d; }, &done));
  barrier.Run();
  barrier.Run();
  EXPECT_EQ(0, done);
  barrier.Run();
  EXPECT_EQ(1, done);

  BarrierClosure(0, BindOnce([](int* d) { ++*d; }, &done));
  EXPECT_EQ(2, done);

  {
    ScopedClosureRunner runner(BindOnce([](int* d) { ++*d; }, &done));
  }
  EXPECT_EQ(3, done);
  {
    ScopedClosureRunner runner(BindOnce([](int* d) { ++*d; }, &done));
    OnceClosure released = runner.Release();
  }
  EXPECT_EQ(3, done);
}

}  // namespace
}  // namespace base
