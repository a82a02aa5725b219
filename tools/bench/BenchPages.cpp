// The wizard's real pages in one process, for the benchmark: creates them as setup.exe does,
// goes on to the install page and runs its Next handler on the medium in the current
// directory, then prints how often the gauge painted itself and how long the run took, with
// the start-up's share in decoding the page pictures and in creating the pages:
//   repaints=N percent=N finished=0|1 ms=X peak_working_set_kib=N decode_ms=X create_ms=X
// With --profile the install page's run goes through timing wrappers of the platform and of
// the page's reports (the same steps as the Next handler, without its finish switch), and
// the calls and times per operation follow on stderr.
#include "engine/platform/win32/WindowsApi.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "engine/InstallSteps.h"
#include "engine/platform/win32/Win32Platform.h"
#include "tools/bench/TimingPlatform.h"
#include "ui/Application.h"
#include "ui/Pages.h"
#include "ui/Picture.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"

namespace {

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace installer;
  const bool profile = argc > 1 && std::strcmp(argv[1], "--profile") == 0;
  CoInitialize(nullptr);
  static Win32Platform win32;
  static bench::CallTimes times;
  static bench::TimingPlatform timing(win32, times);
  Platform& platform = profile ? static_cast<Platform&>(timing) : win32;
  // A page decodes its picture when it first paints it; decoded here alone (drawn into a
  // one-pixel image, which decodes the whole picture), that cost can be told from the rest.
  double decodeStart = bench::NowMs();
  for (const wchar_t* name : {L"WELCOME", L"INSTALL", L"FINISH6", L"FINISH5", L"CHOOSER", L"EXIT"}) {
    const Picture picture = Picture::FromResource(name);
    uint32_t pixel = 0;
    picture.Compose(&pixel, 1, 1, 0, 0, picture.Width(), picture.Height());
  }
  const double decodeMs = bench::NowMs() - decodeStart;
  const double createStart = bench::NowMs();
  Application::Initialize(platform);
  Application::SetTitle(kApplicationTitle);
  CreateWizardPages();
  const double createMs = bench::NowMs() - createStart;
  if (Application::Terminated() || Form3 == nullptr) {
    std::fprintf(stderr, "bench_pages: the pages were not created\n");
    return 1;
  }
  Pump();
  Form1->NextClick();  // the welcome page's Enter: the install page shows
  Pump();

  const uint64_t repaintsBefore = Form3->Gauge().repaintCount;
  const double start = bench::NowMs();
  try {
    if (profile) {
      bench::TimingObserver observer(*Form3, times);
      RunInstall(Form3->Session(), Form3->PathText(), observer);
      RunPostCopySteps(Form3->Session());
    } else {
      Form3->NextClick();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_pages: %s\n", e.what());
    return 1;
  }
  const double end = bench::NowMs();
  Pump();

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("repaints=%llu percent=%d finished=%d ms=%.1f peak_working_set_kib=%llu "
              "decode_ms=%.1f create_ms=%.1f\n",
              static_cast<unsigned long long>(Form3->Gauge().repaintCount - repaintsBefore),
              static_cast<int>(Form3->Gauge().PercentDone()), Form3->Finished() ? 1 : 0,
              end - start, static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024),
              decodeMs, createMs);
  if (profile) {
    const int files = Form3->Session().FileCount();
    std::fprintf(stderr, "install page, %d files, %.1f ms in all, %.1f ms timed:\n", files,
                 end - start, times.TotalMs());
    times.Print(stderr, files);
  }
  std::fflush(stdout);
  // The uninstall entry is written: leave at once, as the finish page's exit does.
  ExitProcess(0);
}
