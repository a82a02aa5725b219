// The installation engine alone, for the benchmark: a whole installation from the medium in
// the current directory to the default target path (or to TARGET), with an observer that only
// counts, so that what it costs is the copy without any window:
//   bench_engine [--profile] [TARGET]
// Prints one line of figures:
//   files=N bytes=N reports=N messages=N scan_copy_ms=X post_ms=X total_ms=X
// With --profile it also prints, per operation of the platform, calls and time (stderr).
#include "engine/platform/win32/WindowsApi.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/InstallSteps.h"
#include "engine/platform/win32/Win32Platform.h"
#include "tools/bench/TimingPlatform.h"

namespace {

class CountingObserver : public installer::InstallObserver {
 public:
  long long messages = 0;
  long long reports = 0;
  void ProcessMessages() override { ++messages; }
  void InstallStarting() override {}
  void CopyStarting(int32_t) override {}
  void FileStarting(int32_t, const std::string&) override { ++reports; }
};

}  // namespace

int main(int argc, char** argv) {
  const bool profile = argc > 1 && std::strcmp(argv[1], "--profile") == 0;
  const int targetArg = profile ? 2 : 1;
  CoInitialize(nullptr);
  installer::Win32Platform win32;
  installer::bench::CallTimes times;
  installer::bench::TimingPlatform timing(win32, times);
  installer::Platform& platform = profile ? static_cast<installer::Platform&>(timing) : win32;

  installer::InstallSession session(platform);
  installer::InitializeSession(session);
  const std::string target =
      argc > targetArg ? argv[targetArg] : installer::DefaultInstallPath(session);
  CountingObserver counter;
  installer::bench::TimingObserver timedCounter(counter, times);
  installer::InstallObserver& observer =
      profile ? static_cast<installer::InstallObserver&>(timedCounter) : counter;

  const double start = installer::bench::NowMs();
  double copied = start;
  try {
    installer::RunInstall(session, target, observer);
    copied = installer::bench::NowMs();
    installer::RunPostCopySteps(session);
  } catch (const installer::InstallError& e) {
    std::fprintf(stderr, "bench_engine: %s\n", e.what());
    return 1;
  }
  const double end = installer::bench::NowMs();
  std::printf("files=%d bytes=%lld reports=%lld messages=%lld scan_copy_ms=%.1f post_ms=%.1f "
              "total_ms=%.1f\n",
              session.FileCount(), static_cast<long long>(session.TotalSize), counter.reports,
              counter.messages, copied - start, end - copied, end - start);
  if (profile) {
    std::fprintf(stderr, "engine alone, %d files, %.1f ms in all, %.1f ms in the platform:\n",
                 session.FileCount(), end - start, times.TotalMs());
    times.Print(stderr, session.FileCount());
  }
  return 0;
}
