#include "base/task/task_runner.h"

#include <utility>

#include "base/logging.h"
#include "base/task/sequenced_task_runner.h"

namespace base {

namespace {

// Carries the reply to the task's sequence and back. Whoever drops the relay
// drops the reply with it.
class PostTaskAndReplyRelay {
 public:
  PostTaskAndReplyRelay(const Location& from_here, OnceClosure task, OnceClosure reply,
                        scoped_refptr<SequencedTaskRunner> reply_task_runner)
      : from_here_(from_here),
        task_(std::move(task)),
        reply_(std::move(reply)),
        reply_task_runner_(std::move(reply_task_runner)) {}
  PostTaskAndReplyRelay(PostTaskAndReplyRelay&&) = default;

  static void RunTaskAndPostReply(PostTaskAndReplyRelay relay) {
    std::move(relay.task_).Run();
    scoped_refptr<SequencedTaskRunner> reply_runner = relay.reply_task_runner_;
    reply_runner->PostTask(relay.from_here_, BindOnce(&PostTaskAndReplyRelay::RunReply,
                                                      std::move(relay)));
  }

  static void RunReply(PostTaskAndReplyRelay relay) { std::move(relay.reply_).Run(); }

 private:
  Location from_here_;
  OnceClosure task_;
  OnceClosure reply_;
  scoped_refptr<SequencedTaskRunner> reply_task_runner_;
};

}  // namespace

bool TaskRunner::PostTask(const Location& from_here, OnceClosure task) {
  return PostDelayedTask(from_here, std::move(task), TimeDelta());
}

bool TaskRunner::PostTaskAndReply(const Location& from_here, OnceClosure task,
                                  OnceClosure reply) {
  DCHECK(task && reply);
  scoped_refptr<SequencedTaskRunner> reply_runner = SequencedTaskRunner::GetCurrentDefault();
  if (!reply_runner) {
    LOG(ERROR) << "PostTaskAndReply from " << from_here.ToString()
               << " without a current sequence for the reply";
    return false;
  }
  return PostTask(from_here,
                  BindOnce(&PostTaskAndReplyRelay::RunTaskAndPostReply,
                           PostTaskAndReplyRelay(from_here, std::move(task), std::move(reply),
                                                 std::move(reply_runner))));
}

}  // namespace base
