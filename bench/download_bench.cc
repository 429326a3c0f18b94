// Download throughput from loopback through the product's Downloader, against
// a plain copy of the same file, and the cost of reading in 1 KiB pieces
// (each read posts the progress to the downloader's loop, whose observer posts
// it on to the front end's thread: two posted tasks per KiB) against the
// downloader's own read size.
//
//   download_bench.exe --url=<url of the file> --source=<the same file> --out=<folder>
//                      [--repeat=3]
//
// Prints one line per figure, each a ratio against its reference measured in
// this run (best of --repeat runs each).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/threading/thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/downloader.h"
#include "desktop/windows/installer/wininet/file_response_writer.h"
#include "desktop/windows/installer/wininet/null_download_stats_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"

namespace {

using installer::Downloader;

class NoUIDelegate : public installer::PackageFetcherUIDelegate {
 public:
  void RunUICallbackAndPostReply(UICallback, scoped_refptr<base::SingleThreadTaskRunner>,
                                 ReplyCallback) override {}
};

// Stands for the package fetcher's proxy: every report travels on to the
// front end's thread as a task of its own.
class ForwardingObserver : public installer::PackageFetcherObserver {
 public:
  explicit ForwardingObserver(scoped_refptr<base::SingleThreadTaskRunner> front_end)
      : front_end_(std::move(front_end)) {}
  void SetTotalProgress(int total) override {
    front_end_->PostTask(FROM_HERE, base::BindOnce([](int) {}, total));
  }
  void SetCurrentProgress(int current) override {
    front_end_->PostTask(FROM_HERE, base::BindOnce([](int) {}, current));
  }
  void NotifyStalled(int) override {}
  void NotifyStatusChanged(installer::PackageFetcherStatus) override {}

 private:
  scoped_refptr<base::SingleThreadTaskRunner> front_end_;
};

double SecondsToDownload(const std::wstring& url, const base::FilePath& target, size_t read_size,
                         installer::PackageFetcherObserver* observer) {
  NoUIDelegate ui_delegate;
  Downloader downloader(&ui_delegate, observer);
  downloader.set_read_size(read_size);
  auto writer = std::make_unique<installer::FileResponseWriter>();
  if (!writer->Open(target))
    return -1;
  base::RunLoop run_loop;
  const base::TimeTicks start = base::TimeTicks::Now();
  if (!downloader.StartDownload(url, std::string(), run_loop.QuitClosure(), std::move(writer),
                                std::make_unique<installer::NullDownloadStatsObserver>())) {
    return -1;
  }
  run_loop.Run();
  const double seconds = (base::TimeTicks::Now() - start).InSecondsF();
  return downloader.state() == Downloader::STATE_COMPLETED ? seconds : -1;
}

double SecondsToCopy(const base::FilePath& source, const base::FilePath& target) {
  const base::TimeTicks start = base::TimeTicks::Now();
  if (!CopyFileW(source.value().c_str(), target.value().c_str(), FALSE))
    return -1;
  return (base::TimeTicks::Now() - start).InSecondsF();
}

template <typename Measure>
double Best(int repeat, Measure measure) {
  double best = -1;
  for (int i = 0; i < repeat; ++i) {
    double seconds = measure();
    if (seconds < 0)
      return -1;
    best = best < 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::AtExitManager at_exit;
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line = *base::CommandLine::ForCurrentProcess();
  const std::wstring url = command_line.GetSwitchValueNative("url");
  const base::FilePath source = command_line.GetSwitchValuePath("source");
  const base::FilePath out = command_line.GetSwitchValuePath("out");
  int repeat = 3;
  base::StringToInt(command_line.GetSwitchValueASCII("repeat"), &repeat);
  int64_t size = 0;
  if (url.empty() || !base::GetFileSize(source, &size) || out.empty()) {
    fprintf(stderr, "usage: download_bench --url=URL --source=FILE --out=FOLDER [--repeat=N]\n");
    return 2;
  }

  base::MessageLoop loop;
  base::Thread front_end("Front end");
  front_end.Start();
  ForwardingObserver observer(front_end.task_runner());
  const base::FilePath target = out.Append(L"download_bench.bin");

  const double copy = Best(repeat, [&] { return SecondsToCopy(source, target); });
  const double product = Best(repeat, [&] {
    return SecondsToDownload(url, target, Downloader::kDefaultReadSize, &observer);
  });
  const bool identical = base::ContentsEqual(source, target);
  const double small = Best(repeat, [&] { return SecondsToDownload(url, target, 1024, &observer); });
  base::DeleteFile(target);
  front_end.Stop();
  if (copy <= 0 || product <= 0 || small <= 0 || !identical) {
    fprintf(stderr, "download_bench: a run failed (copy %.3f s, download %.3f s, 1 KiB %.3f s, "
            "%s)\n", copy, product, small, identical ? "identical" : "download differs");
    return 1;
  }
  const double megabytes = size / 1048576.0;
  printf("download from loopback (the downloader's %d KiB reads) vs plain copy of the file: "
         "%.2fx throughput (%.0f MB/s vs %.0f MB/s, %.0f MB)\n",
         static_cast<int>(Downloader::kDefaultReadSize / 1024), copy / product,
         megabytes / product, megabytes / copy, megabytes);
  printf("1 KiB reads vs the downloader's %d KiB reads: %.2fx the time (%.2f s vs %.2f s)\n",
         static_cast<int>(Downloader::kDefaultReadSize / 1024), small / product, small, product);
  return 0;
}
