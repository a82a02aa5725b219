// A Platform that hands every call on to another one and adds up, per operation, how often it
// was called and how long it took; an observer wrapper does the same for the install page's
// reports. The benchmark's drivers use them to show where an installation's time goes.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCopy.h"
#include "engine/platform/Platform.h"

namespace installer::bench {

/// Milliseconds on the performance counter.
inline double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

/// Calls and time per operation name.
class CallTimes {
 public:
  struct Entry {
    long long calls = 0;
    double ms = 0;
  };

  void Add(const char* name, double ms) {
    Entry& e = entries_[name];
    ++e.calls;
    e.ms += ms;
  }

  double TotalMs() const {
    double sum = 0;
    for (const auto& [name, e] : entries_) sum += e.ms;
    return sum;
  }

  /// One line per operation, the most expensive first; `perFile` divides the calls.
  void Print(FILE* out, long long perFile) const {
    std::vector<std::pair<std::string, Entry>> rows(entries_.begin(), entries_.end());
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    std::fprintf(out, "  %-28s %9s %10s %9s %9s\n", "operation", "calls", "total ms",
                 "us/call", "calls/file");
    for (const auto& [name, e] : rows) {
      std::fprintf(out, "  %-28s %9lld %10.1f %9.1f %9.2f\n", name.c_str(), e.calls, e.ms,
                   e.calls > 0 ? e.ms * 1000.0 / static_cast<double>(e.calls) : 0.0,
                   perFile > 0 ? static_cast<double>(e.calls) / static_cast<double>(perFile)
                               : 0.0);
    }
  }

 private:
  std::map<std::string, Entry> entries_;
};

/// Times one call: `Timed t(times, "Name"); return inner.Call();`
class Timed {
 public:
  Timed(CallTimes& times, const char* name) : times_(times), name_(name), start_(NowMs()) {}
  ~Timed() { times_.Add(name_, NowMs() - start_); }
  Timed(const Timed&) = delete;
  Timed& operator=(const Timed&) = delete;

 private:
  CallTimes& times_;
  const char* name_;
  double start_;
};

class TimingStream : public FileStream {
 public:
  TimingStream(std::unique_ptr<FileStream> inner, CallTimes& times, bool reading)
      : inner_(std::move(inner)), times_(times), reading_(reading) {}
  ~TimingStream() override {
    Timed t(times_, reading_ ? "CloseSource" : "CloseDestination");
    inner_.reset();
  }
  int64_t Read(void* buffer, int64_t count) override {
    Timed t(times_, "Read");
    return inner_->Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override {
    Timed t(times_, "Write");
    return inner_->Write(buffer, count);
  }
  uint32_t LastError() const override {
    return inner_->LastError();
  }
  int64_t Size() override {
    Timed t(times_, "Size");
    return inner_->Size();
  }
  uint32_t RenameTo(const std::string& path) override {
    Timed t(times_, "RenameOpen");
    return inner_->RenameTo(path);
  }

 private:
  std::unique_ptr<FileStream> inner_;
  CallTimes& times_;
  bool reading_;
};

class TimingPlatform : public Platform {
 public:
  TimingPlatform(Platform& inner, CallTimes& times) : inner_(inner), times_(times) {}

  int FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) override {
    Timed t(times_, "FindFirst");
    return inner_.FindFirst(pattern, attr, rec);
  }
  int FindNext(SearchRec& rec) override {
    Timed t(times_, "FindNext");
    return inner_.FindNext(rec);
  }
  void FindClose(SearchRec& rec) override {
    Timed t(times_, "FindClose");
    inner_.FindClose(rec);
  }
  bool FileExists(const std::string& path) override {
    Timed t(times_, "FileExists");
    return inner_.FileExists(path);
  }
  bool DirectoryExists(const std::string& path) override {
    Timed t(times_, "DirectoryExists");
    return inner_.DirectoryExists(path);
  }
  uint32_t GetAttributes(const std::string& path) override {
    Timed t(times_, "GetAttributes");
    return inner_.GetAttributes(path);
  }
  bool CreateDir(const std::string& path) override {
    Timed t(times_, "CreateDir");
    return inner_.CreateDir(path);
  }
  bool CreateProtectedDir(const std::string& path) override {
    Timed t(times_, "CreateDir");
    return inner_.CreateProtectedDir(path);
  }
  uint32_t RemoveFile(const std::string& path) override {
    Timed t(times_, "RemoveFile");
    return inner_.RemoveFile(path);
  }
  uint32_t RemoveDir(const std::string& path) override {
    Timed t(times_, "RemoveDir");
    return inner_.RemoveDir(path);
  }
  uint32_t ChangeAttributes(const std::string& path, uint32_t attr) override {
    Timed t(times_, "ChangeAttributes");
    return inner_.ChangeAttributes(path, attr);
  }
  bool DeleteFile(const std::string& path) override {
    Timed t(times_, "DeleteFile");
    return inner_.DeleteFile(path);
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    Timed t(times_, "RenameFile");
    return inner_.RenameFile(from, to);
  }
  uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
    Timed t(times_, "ReplaceFile");
    return inner_.ReplaceFile(from, to);
  }
  OpenResult OpenFile(const std::string& path, OpenMode mode) override {
    const bool reading = mode == OpenMode::ReadExclusive || mode == OpenMode::ReadShared;
    OpenResult result;
    {
      Timed t(times_, reading ? "OpenSource" : "CreateDestination");
      result = inner_.OpenFile(path, mode);
    }
    if (result.stream) {
      result.stream = std::make_unique<TimingStream>(std::move(result.stream), times_, reading);
    }
    return result;
  }
  std::string ExpandFileName(const std::string& path) override {
    Timed t(times_, "ExpandFileName");
    return inner_.ExpandFileName(path);
  }
  int64_t DiskFree(int drive) override {
    Timed t(times_, "DiskFree");
    return inner_.DiskFree(drive);
  }
  int64_t DiskSize(int drive) override {
    Timed t(times_, "DiskSize");
    return inner_.DiskSize(drive);
  }
  std::string GetCurrentDir() override {
    Timed t(times_, "GetCurrentDir");
    return inner_.GetCurrentDir();
  }
  uint32_t SetCurrentDir(const std::string& path) override {
    Timed t(times_, "SetCurrentDir");
    return inner_.SetCurrentDir(path);
  }
  SystemFolders GetSystemFolders() override {
    Timed t(times_, "GetSystemFolders");
    return inner_.GetSystemFolders();
  }
  std::string GetWindowsDirectory() override {
    Timed t(times_, "GetWindowsDirectory");
    return inner_.GetWindowsDirectory();
  }
  uint32_t GetVersion() override { return inner_.GetVersion(); }
  std::string SystemErrorMessage(uint32_t code) override {
    return inner_.SystemErrorMessage(code);
  }
  uint32_t RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) override {
    Timed t(times_, "Registry");
    return inner_.RegCreateKey(parent, subKey, result);
  }
  uint32_t RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                RegKey& result) override {
    return inner_.RegOpenKeyForReading(parent, subKey, result);
  }
  uint32_t RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) override {
    Timed t(times_, "Registry");
    return inner_.RegOpenKey(parent, subKey, result);
  }
  uint32_t RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                         std::string& data) override {
    Timed t(times_, "Registry");
    return inner_.RegQueryValue(key, name, type, data);
  }
  uint32_t RegSetStringValue(RegKey key, const std::string& name,
                             const std::string& data) override {
    Timed t(times_, "Registry");
    return inner_.RegSetStringValue(key, name, data);
  }
  void RegCloseKey(RegKey key) override {
    Timed t(times_, "Registry");
    inner_.RegCloseKey(key);
  }
  uint32_t RegDeleteKey(RegKey parent, const std::string& subKey) override {
    Timed t(times_, "RegDeleteKey");
    return inner_.RegDeleteKey(parent, subKey);
  }
  std::string ShellLinkTarget(const std::string& linkPath) override {
    Timed t(times_, "ShellLinkTarget");
    return inner_.ShellLinkTarget(linkPath);
  }
  std::unique_ptr<ShellLink> CreateShellLink() override {
    Timed t(times_, "CreateShellLink");
    return inner_.CreateShellLink();
  }
  intptr_t ShellExecute(uintptr_t ownerWindow, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int showCommand) override {
    return inner_.ShellExecute(ownerWindow, verb, file, parameters, directory, showCommand);
  }
  LibraryHandle LoadLibrary(const std::string& path) override {
    Timed t(times_, "LoadLibrary");
    return inner_.LoadLibrary(path);
  }
  ProcAddress GetProcAddress(LibraryHandle library, const std::string& name) override {
    return inner_.GetProcAddress(library, name);
  }
  int32_t CallEntryPoint(ProcAddress entry) override {
    Timed t(times_, "CallEntryPoint");
    return inner_.CallEntryPoint(entry);
  }
  void FreeLibrary(LibraryHandle library) override { inner_.FreeLibrary(library); }
  void ShowMessageDialog(const std::string& text, DialogKind kind) override {
    inner_.ShowMessageDialog(text, kind);
  }
  [[noreturn]] void EndProcess() override {
    inner_.EndProcess();
    std::abort();  // not reached; GCC does not carry [[noreturn]] through a virtual call
  }

 private:
  Platform& inner_;
  CallTimes& times_;
};

/// Hands the engine's reports on to the install page (or any observer), timing each kind.
class TimingObserver : public InstallObserver {
 public:
  TimingObserver(InstallObserver& inner, CallTimes& times) : inner_(inner), times_(times) {}
  void ProcessMessages() override {
    Timed t(times_, "page: ProcessMessages");
    inner_.ProcessMessages();
  }
  void InstallStarting() override {
    Timed t(times_, "page: InstallStarting");
    inner_.InstallStarting();
  }
  void CopyStarting(int32_t maxValue) override {
    Timed t(times_, "page: CopyStarting");
    inner_.CopyStarting(maxValue);
  }
  void FileStarting(int32_t progress, const std::string& caption) override {
    Timed t(times_, "page: FileStarting");
    inner_.FileStarting(progress, caption);
  }

 private:
  InstallObserver& inner_;
  CallTimes& times_;
};

}  // namespace installer::bench
