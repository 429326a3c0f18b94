#include "base/message_loop/message_loop.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/functional/bind.h"
#include "base/message_loop/message_loop_for_io.h"
#include "base/message_loop/message_pump_dispatcher.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/task/single_thread_task_runner.h"
#include "base/test/test_environment.h"
#include "base/threading/thread.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

void Record(std::vector<int>* order, int value) {
  order->push_back(value);
}

class MessageLoopTest : public testing::TestWithParam<MessageLoop::Type> {};

TEST_P(MessageLoopTest, ImmediateTasksRunInPostingOrder) {
  MessageLoop loop(GetParam());
  EXPECT_EQ(&loop, MessageLoop::current());
  EXPECT_EQ(loop.task_runner(), SingleThreadTaskRunner::GetCurrentDefault());
  std::vector<int> order;
  for (int i = 0; i < 20; ++i)
    loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, i));
  // A task posted by a task goes behind those already queued.
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(
                                              [](std::vector<int>* order) {
                                                SingleThreadTaskRunner::GetCurrentDefault()
                                                    ->PostTask(FROM_HERE,
                                                               BindOnce(&Record, order, 100));
                                              },
                                              &order));
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, 20));
  RunLoop().RunUntilIdle();
  std::vector<int> expected;
  for (int i = 0; i <= 20; ++i)
    expected.push_back(i);
  expected.push_back(100);
  EXPECT_EQ(expected, order);
}

TEST_P(MessageLoopTest, DelayedTasksRunByDueTimeThenPostingOrderAndNeverEarly) {
  MessageLoop loop(GetParam());
  std::vector<int> order;
  std::vector<TimeTicks> ran_at(4);
  auto record = [](std::vector<int>* order, TimeTicks* at, int value) {
    *at = TimeTicks::Now();
    order->push_back(value);
  };
  TimeTicks start = TimeTicks::Now();
  auto runner = loop.task_runner();
  runner->PostDelayedTask(FROM_HERE, BindOnce(record, &order, &ran_at[0], 0),
                          TimeDelta::FromMilliseconds(60));
  runner->PostDelayedTask(FROM_HERE, BindOnce(record, &order, &ran_at[1], 1),
                          TimeDelta::FromMilliseconds(20));
  runner->PostTask(FROM_HERE, BindOnce(record, &order, &ran_at[2], 2));
  RunLoop run_loop;
  runner->PostDelayedTask(FROM_HERE, run_loop.QuitClosure(), TimeDelta::FromMilliseconds(61));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{2, 1, 0}), order);
  EXPECT_GE(ran_at[1] - start, TimeDelta::FromMilliseconds(20));
  EXPECT_GE(ran_at[0] - start, TimeDelta::FromMilliseconds(60));

  // Equal due times: posting order. Same TimeTicks base by posting from a task.
  order.clear();
  runner->PostTask(FROM_HERE, BindOnce(
                                  [](std::vector<int>* order) {
                                    auto r = SingleThreadTaskRunner::GetCurrentDefault();
                                    for (int i = 0; i < 5; ++i)
                                      r->PostDelayedTask(FROM_HERE, BindOnce(&Record, order, i),
                                                         TimeDelta::FromMilliseconds(5));
                                  },
                                  &order));
  RunLoop second;
  runner->PostDelayedTask(FROM_HERE, second.QuitClosure(), TimeDelta::FromMilliseconds(30));
  second.Run();
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), order);
}

TEST_P(MessageLoopTest, QuitWhenIdleRunsPendingImmediateTasksOnly) {
  MessageLoop loop(GetParam());
  std::vector<int> order;
  RunLoop run_loop;
  run_loop.QuitWhenIdle();
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, 1));
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, 2));
  loop.task_runner()->PostDelayedTask(FROM_HERE, BindOnce(&Record, &order, 3),
                                      TimeDelta::FromSeconds(60));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{1, 2}), order);
}

TEST_P(MessageLoopTest, QuitLeavesLaterTasksQueued) {
  MessageLoop loop(GetParam());
  std::vector<int> order;
  RunLoop run_loop;
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, 1));
  loop.task_runner()->PostTask(FROM_HERE, run_loop.QuitClosure());
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(&Record, &order, 2));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{1}), order);
  RunLoop().RunUntilIdle();
  EXPECT_EQ((std::vector<int>{1, 2}), order);
}

TEST_P(MessageLoopTest, NestedRunLoops) {
  MessageLoop loop(GetParam());
  std::vector<int> order;
  auto runner = loop.task_runner();
  runner->PostTask(FROM_HERE, BindOnce(
                                  [](std::vector<int>* order) {
                                    EXPECT_FALSE(RunLoop::IsNestedOnCurrentThread());
                                    RunLoop nested;
                                    auto r = SingleThreadTaskRunner::GetCurrentDefault();
                                    r->PostTask(FROM_HERE, BindOnce(&Record, order, 2));
                                    r->PostTask(FROM_HERE, BindOnce(
                                                               [](std::vector<int>* order) {
                                                                 EXPECT_TRUE(RunLoop::IsNestedOnCurrentThread());
                                                                 order->push_back(3);
                                                               },
                                                               order));
                                    r->PostTask(FROM_HERE, nested.QuitClosure());
                                    order->push_back(1);
                                    nested.Run();
                                    order->push_back(4);
                                  },
                                  &order));
  runner->PostTask(FROM_HERE, BindOnce(&Record, &order, 5));
  RunLoop().RunUntilIdle();
  // The nested loop runs what was queued before it (5) and what its task posted.
  EXPECT_EQ((std::vector<int>{1, 5, 2, 3, 4}), order);
}

TEST_P(MessageLoopTest, QuitOfOuterLoopWaitsForInnerLoop) {
  MessageLoop loop(GetParam());
  RunLoop outer;
  bool after_inner = false;
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(
                                              [](RunLoop* outer, bool* after_inner) {
                                                RunLoop inner;
                                                outer->Quit();
                                                SingleThreadTaskRunner::GetCurrentDefault()->PostTask(
                                                    FROM_HERE, inner.QuitClosure());
                                                inner.Run();
                                                *after_inner = true;
                                              },
                                              &outer, &after_inner));
  outer.Run();
  EXPECT_TRUE(after_inner);
}

TEST_P(MessageLoopTest, PostingToADestroyedLoopFailsAndDropsTheTask) {
  scoped_refptr<SingleThreadTaskRunner> runner;
  bool ran = false;
  auto flag = std::make_shared<int>(0);
  std::weak_ptr<int> watch = flag;
  {
    MessageLoop loop(GetParam());
    runner = loop.task_runner();
    EXPECT_TRUE(runner->BelongsToCurrentThread());
    // Pending at destruction: destroyed, not run.
    runner->PostTask(FROM_HERE, BindOnce([](bool* ran, std::shared_ptr<int>) { *ran = true; },
                                         &ran, std::move(flag)));
  }
  EXPECT_FALSE(ran);
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(SingleThreadTaskRunner::HasCurrentDefault());
  EXPECT_FALSE(runner->PostTask(FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, &ran)));
  EXPECT_FALSE(ran);
}

// Many threads posting at once, while the loop works and while it sleeps:
// one wake-up stands for all the tasks posted before the loop looks again, so
// a lost wake-up would leave tasks queued and the loop asleep for ever.
TEST_P(MessageLoopTest, TasksPostedFromOtherThreadsAllRunAndWakeASleepingLoop) {
  MessageLoop loop(GetParam());
  constexpr int kPosters = 4;
  constexpr int kTasksEach = 500;
  int ran = 0;
  RunLoop run_loop;
  RepeatingClosure count = BindRepeating(
      [](int* ran, RunLoop* run_loop) {
        if (++*ran == kPosters * kTasksEach)
          run_loop->Quit();
      },
      &ran, &run_loop);
  std::vector<std::unique_ptr<Thread>> posters;
  for (int i = 0; i < kPosters; ++i) {
    posters.push_back(std::make_unique<Thread>("Poster"));
    ASSERT_TRUE(posters.back()->Start());
  }
  scoped_refptr<SingleThreadTaskRunner> runner = loop.task_runner();
  for (auto& poster : posters) {
    poster->task_runner()->PostTask(
        FROM_HERE, BindOnce(
                       [](scoped_refptr<SingleThreadTaskRunner> runner, RepeatingClosure count) {
                         for (int task = 0; task < kTasksEach; ++task)
                           runner->PostTask(FROM_HERE, count);
                       },
                       runner, count));
  }
  run_loop.Run();
  EXPECT_EQ(kPosters * kTasksEach, ran);

  // One task at a time from another thread: some come while the loop still
  // works, some while it sleeps.
  for (int round = 0; round < 200; ++round) {
    RunLoop single;
    posters[round % kPosters]->task_runner()->PostTask(
        FROM_HERE, BindOnce([](scoped_refptr<SingleThreadTaskRunner> runner,
                               RepeatingClosure quit) { runner->PostTask(FROM_HERE, quit); },
                            runner, single.QuitClosure()));
    single.Run();
  }
  for (auto& poster : posters)
    poster->Stop();
}

INSTANTIATE_TEST_SUITE_P(AllTypes, MessageLoopTest,
                         testing::Values(MessageLoop::TYPE_DEFAULT, MessageLoop::TYPE_UI,
                                         MessageLoop::TYPE_IO));

TEST(MessageLoopThreadTest, ReplyRunsAfterTaskOnThePostingThread) {
  MessageLoop loop;
  Thread worker("ReplyWorker");
  ASSERT_TRUE(worker.Start());
  DWORD main_thread = GetCurrentThreadId();
  DWORD task_thread = 0;
  DWORD reply_thread = 0;
  bool task_done_at_reply = false;
  bool task_done = false;
  RunLoop run_loop;
  ASSERT_TRUE(worker.task_runner()->PostTaskAndReply(
      FROM_HERE,
      BindOnce(
          [](DWORD* thread, bool* done) {
            *thread = GetCurrentThreadId();
            *done = true;
          },
          &task_thread, &task_done),
      BindOnce(
          [](DWORD* thread, bool* done, bool* done_at_reply, RunLoop* run_loop) {
            *thread = GetCurrentThreadId();
            *done_at_reply = *done;
            run_loop->Quit();
          },
          &reply_thread, &task_done, &task_done_at_reply, &run_loop)));
  run_loop.Run();
  EXPECT_EQ(worker.GetThreadId(), task_thread);
  EXPECT_EQ(main_thread, reply_thread);
  EXPECT_TRUE(task_done_at_reply);

  int result = 0;
  RunLoop second;
  ASSERT_TRUE(worker.task_runner()->PostTaskAndReplyWithResult(
      FROM_HERE, BindOnce([] { return 42; }),
      BindOnce([](int* out, RunLoop* r, int value) { *out = value; r->Quit(); }, &result,
               &second)));
  second.Run();
  EXPECT_EQ(42, result);
}

// A thread without a message loop has no sequence for the reply to come back
// to: nothing is posted, so the task does not run with its reply lost.
TEST(MessageLoopThreadTest, ReplyWithoutASequenceToComeBackToPostsNothing) {
  ASSERT_FALSE(SequencedTaskRunner::HasCurrentDefault());
  Thread worker("ReplyWorker");
  ASSERT_TRUE(worker.Start());
  bool task_ran = false;
  EXPECT_FALSE(worker.task_runner()->PostTaskAndReply(
      FROM_HERE, BindOnce([](bool* ran) { *ran = true; }, &task_ran), BindOnce([] {})));
  // Tasks run in posting order: once this one has run, an accepted task would have.
  WaitableEvent drained;
  ASSERT_TRUE(worker.task_runner()->PostTask(
      FROM_HERE, BindOnce([](WaitableEvent* event) { event->Signal(); }, &drained)));
  drained.Wait();
  EXPECT_FALSE(task_ran);
}

TEST(MessageLoopThreadTest, QuitClosureFromAnotherThreadAndAfterTheLoopEnded) {
  MessageLoop loop;
  RepeatingClosure quit;
  {
    RunLoop run_loop;
    quit = run_loop.QuitClosure();
    Thread other("Quitter");
    ASSERT_TRUE(other.Start());
    other.task_runner()->PostTask(FROM_HERE, quit);
    run_loop.Run();
  }
  quit.Run();  // the run loop is gone: nothing happens
  RunLoop().RunUntilIdle();
}

// Sees every message of the loop before the default dispatch.
class RecordingDispatcher : public MessagePumpDispatcher {
 public:
  explicit RecordingDispatcher(UINT consumed) : consumed_(consumed) {}
  uint32_t Dispatch(const MSG& msg) override {
    if (msg.message == consumed_) {
      ++consumed_count_;
      return POST_DISPATCH_NONE;
    }
    return POST_DISPATCH_PERFORM_DEFAULT;
  }
  int consumed_count_ = 0;

 private:
  UINT consumed_;
};

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP + 2) {
    ++*reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST(MessageLoopUITest, RunsPostedTasksWhilePumpingWindowMessages) {
  MessageLoop loop(MessageLoop::TYPE_UI);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TestWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  std::wstring class_name = test::UniqueName(L"UiLoopTest");
  wc.lpszClassName = class_name.c_str();
  ASSERT_TRUE(RegisterClassExW(&wc));
  HWND hwnd = CreateWindowExW(0, class_name.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_TRUE(hwnd);
  int dispatched = 0;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));

  RecordingDispatcher dispatcher(WM_APP + 3);
  RunLoop run_loop(&dispatcher);
  std::vector<int> order;
  // A task posts window messages; a later task (posted from another thread)
  // ends the loop once the messages went through.
  loop.task_runner()->PostTask(FROM_HERE, BindOnce(
                                              [](HWND hwnd, std::vector<int>* order) {
                                                PostMessageW(hwnd, WM_APP + 2, 0, 0);
                                                PostMessageW(hwnd, WM_APP + 3, 0, 0);
                                                order->push_back(1);
                                              },
                                              hwnd, &order));
  Thread other("UiPoster");
  ASSERT_TRUE(other.Start());
  scoped_refptr<SingleThreadTaskRunner> ui_runner = loop.task_runner();
  other.task_runner()->PostDelayedTask(
      FROM_HERE,
      BindOnce(
          [](scoped_refptr<SingleThreadTaskRunner> ui, std::vector<int>* order, RunLoop* r) {
            ui->PostTask(FROM_HERE, BindOnce(
                                        [](std::vector<int>* order, RunLoop* r) {
                                          order->push_back(2);
                                          r->Quit();
                                        },
                                        order, r));
          },
          ui_runner, &order, &run_loop),
      TimeDelta::FromMilliseconds(20));
  run_loop.Run();
  EXPECT_EQ((std::vector<int>{1, 2}), order);
  EXPECT_EQ(1, dispatched);                      // default dispatch reached the window
  EXPECT_EQ(1, dispatcher.consumed_count_);      // the consumed one did not
  DestroyWindow(hwnd);
  UnregisterClassW(class_name.c_str(), wc.hInstance);
}

// A task that posts itself again and again with a short delay; it ends the
// dialog after a number of runs.
struct Ticker {
  static constexpr int kTicks = 5;
  void Tick() {
    if (++ticks == kTicks) {
      EndDialog(dialog, 1);
      return;
    }
    runner->PostDelayedTask(FROM_HERE, BindOnce(&Ticker::Tick, Unretained(this)),
                            TimeDelta::FromMilliseconds(10));
  }
  scoped_refptr<SingleThreadTaskRunner> runner;
  HWND dialog = nullptr;
  int ticks = 0;
};

constexpr UINT_PTR kGiveUpTimer = 7;

INT_PTR CALLBACK TickerDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    reinterpret_cast<Ticker*>(lparam)->dialog = dialog;
    // The bound on the wait: without the ticks the dialog gives up by itself.
    SetTimer(dialog, kGiveUpTimer, 30000, nullptr);
    return TRUE;
  }
  if (message == WM_TIMER && wparam == kGiveUpTimer) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

TEST(MessageLoopUITest, DelayedTasksRunWhileAModalDialogPumpsMessages) {
  MessageLoop loop(MessageLoop::TYPE_UI);
  // An empty popup dialog: no menu, the default class, no title, no controls.
  struct alignas(4) {
    DLGTEMPLATE header = {WS_POPUP, 0, 0, 0, 0, 10, 10};
    WORD menu = 0;
    WORD window_class = 0;
    WORD title = 0;
  } dialog_template;
  Ticker ticker;
  ticker.runner = loop.task_runner();
  INT_PTR result = -1;
  RunLoop run_loop;
  // The first tick is waiting in the loop's queue already when the dialog's
  // own loop takes over.
  loop.task_runner()->PostDelayedTask(FROM_HERE, BindOnce(&Ticker::Tick, Unretained(&ticker)),
                                      TimeDelta::FromMilliseconds(20));
  loop.task_runner()->PostTask(
      FROM_HERE, BindOnce(
                     [](const DLGTEMPLATE* dialog_template, Ticker* ticker, INT_PTR* result,
                        RunLoop* run_loop) {
                       *result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog_template,
                                                         nullptr, &TickerDialogProc,
                                                         reinterpret_cast<LPARAM>(ticker));
                       run_loop->Quit();
                     },
                     &dialog_template.header, &ticker, &result, &run_loop));
  run_loop.Run();
  EXPECT_EQ(1, result) << "the dialog gave up after " << ticker.ticks << " ticks";
  EXPECT_EQ(Ticker::kTicks, ticker.ticks);
}

// Reads one message from a named pipe through the I/O loop.
class PipeReader : public MessageLoopForIO::IOHandler {
 public:
  PipeReader(HANDLE pipe, RunLoop* run_loop) : pipe_(pipe), run_loop_(run_loop) {
    context_ = {};
    context_.handler = this;
  }

  bool StartRead() {
    if (ReadFile(pipe_, buffer_, sizeof(buffer_), nullptr, &context_.overlapped))
      return true;  // completed at once; the port still gets the packet
    return GetLastError() == ERROR_IO_PENDING;
  }

  void OnIOCompleted(MessageLoopForIO::IOContext* context, DWORD bytes,
                     DWORD error) override {
    EXPECT_EQ(&context_, context);
    completed_on_ = GetCurrentThreadId();
    error_ = error;
    data_.assign(buffer_, bytes);
    run_loop_->Quit();
  }

  std::string data_;
  DWORD error_ = 1;
  DWORD completed_on_ = 0;

 private:
  HANDLE pipe_;
  RunLoop* run_loop_;
  MessageLoopForIO::IOContext context_;
  char buffer_[64];
};

TEST(MessageLoopIOTest, CompletesOverlappedReadOnANamedPipe) {
  MessageLoopForIO loop;
  ASSERT_EQ(&loop, MessageLoopForIO::current());
  std::wstring name = L"\\\\.\\pipe\\" + test::UniqueName(L"io_loop_test");
  win::ScopedHandle server(CreateNamedPipeW(name.c_str(),
                                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                            PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                            nullptr));
  ASSERT_TRUE(server.IsValid());
  win::ScopedHandle client(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(client.IsValid());

  RunLoop run_loop;
  PipeReader reader(server.Get(), &run_loop);
  ASSERT_TRUE(loop.RegisterIOHandler(server.Get(), &reader));
  ASSERT_TRUE(reader.StartRead());

  // The writer is another thread, so the completion must cross to this loop.
  Thread writer("PipeWriter");
  ASSERT_TRUE(writer.Start());
  writer.task_runner()->PostTask(FROM_HERE, BindOnce(
                                                [](HANDLE pipe) {
                                                  DWORD written = 0;
                                                  WriteFile(pipe, "hello", 5, &written, nullptr);
                                                },
                                                client.Get()));
  run_loop.Run();
  EXPECT_EQ(0u, reader.error_);
  EXPECT_EQ("hello", reader.data_);
  EXPECT_EQ(GetCurrentThreadId(), reader.completed_on_);
  writer.Stop();
}

}  // namespace
}  // namespace base
