// Shared pieces of the engine tests: a recording observer and a medium on the in-memory
// platform.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/platform/memory/MemoryPlatform.h"

namespace installer::testing {

/// Records every observer call as one line, e.g. "file 3 File: CAB\a.txt".
class RecordingObserver : public InstallObserver {
 public:
  std::vector<std::string> events;
  /// Runs before each file's FileStarting is recorded, with the 1-based file number.
  std::function<void(int)> beforeFile;

  void ProcessMessages() override { events.push_back("messages"); }
  void InstallStarting() override { events.push_back("starting"); }
  void CopyStarting(int32_t maxValue) override {
    events.push_back("copy " + std::to_string(maxValue));
  }
  void FileStarting(int32_t progress, const std::string& caption) override {
    ++files_;
    if (beforeFile) beforeFile(files_);
    events.push_back("file " + std::to_string(progress) + " " + caption);
  }

 private:
  int files_ = 0;
};

/// A machine with a CD-ROM in D: (the medium, current directory D:\) and drive C:.
struct MediumFixture {
  MemoryPlatform platform;
  InstallSession session{platform};
  RecordingObserver observer;

  MediumFixture() {
    MemoryPlatform::DriveInfo cd;
    cd.type = MemoryPlatform::DriveType::CdRom;
    cd.label = "PRODUCT";
    cd.freeBytes = 0;
    cd.totalBytes = 650 << 20;
    platform.AddDrive('D', cd);
    platform.AddFolder("D:\\CAB");
    platform.SetCurrentDir("D:\\");
  }

  /// Adds a file below the medium's product folder.
  void AddSource(const std::string& relative, const std::string& content,
                 uint32_t attr = kAttrArchive) {
    platform.AddFile("D:\\CAB\\" + relative, content, attr);
  }

  /// InitializeSession + RunInstall into `target`.
  void Install(const std::string& target = "C:\\Telmorquistane") {
    InitializeSession(session);
    RunInstall(session, target, observer);
  }
};

}  // namespace installer::testing
