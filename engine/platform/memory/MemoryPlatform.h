// An in-memory Windows for fast native tests: drives, folders and files with attribute words
// and a settable enumeration order, free space, the registry, links, libraries, a current
// directory, and failures on demand. Names match without regard to ASCII letter case.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/platform/Platform.h"

namespace installer {

class MemoryPlatform : public Platform {
 public:
  enum class DriveType { Removable, Fixed, Remote, CdRom, RamDisk };
  struct DriveInfo {
    DriveType type = DriveType::Fixed;
    std::string label;
    int64_t freeBytes = int64_t{4} << 30;   ///< free to the caller; written bytes take from it
    int64_t totalBytes = int64_t{16} << 30;
    bool ready = true;  ///< false: every access to the drive fails with error 21
    /// Nonzero: every read from an open file of the drive fails with this code (a damaged
    /// disc gives 23, a CRC error).
    uint32_t readError = 0;
  };

  /// Order in which a folder's entries are delivered: as created, by name (case-insensitive),
  /// or reversed creation order. "." and ".." always come first in real folders (not roots).
  enum class EnumerationOrder { Creation, ByName, ReverseCreation };

  /// Operations that can be made to fail on demand.
  enum class Op {
    FindFirst,
    Open,       ///< OpenFile with a read mode
    Create,     ///< OpenFile with a create mode
    Read,       ///< one FileStream::Read call
    Write,      ///< one FileStream::Write call
    CreateDir,
    Delete,     ///< DeleteFile and RemoveFile
    Rename,     ///< RenameFile, ReplaceFile and FileStream::RenameTo
    RegCreateKey,
    RegOpenKey,
    RegSetValue,
    LinkSave,
    LoadLibrary,
    RemoveDir,
    SetAttributes,  ///< ChangeAttributes
    RegDeleteKey,
    LinkRead,       ///< ShellLinkTarget
    kCount
  };

  struct Dialog {
    std::string text;
    DialogKind kind;
  };
  struct SavedLink {
    std::string path;  ///< where it was saved (as given)
    std::string target;
    std::string workingDirectory;
  };
  struct Launch {
    uintptr_t owner;
    std::string verb, file, parameters, directory;
    int show;
  };
  struct Library {
    std::vector<std::string> exports;  ///< entry point names
  };

  /// A fresh machine: drive C: (fixed, label "SYSTEM"), Windows directory C:\WINDOWS with
  /// System32 and Fonts, current directory C:\, version 6.1. Empty registry.
  MemoryPlatform();
  ~MemoryPlatform() override;

  // --- building the machine ---
  void AddDrive(char letter, const DriveInfo& info);
  void RemoveDrive(char letter);
  /// The drive's data; free space changes as files are written and deleted.
  DriveInfo& Drive(char letter);
  /// Creates a folder and any missing parents (parents get attribute 16).
  void AddFolder(const std::string& path, uint32_t attr = kAttrDirectory);
  /// Creates or replaces a file (missing parent folders are created). Takes no free space.
  void AddFile(const std::string& path, const std::string& content, uint32_t attr = kAttrArchive);
  /// A file of `size` bytes whose content is generated on read (byte i is
  /// ((i * 7) + (i >> 13)) & 0xFF), so sizes of many GiB cost no memory. Reading is allowed;
  /// the content can be checked with GeneratedByte().
  void AddGeneratedFile(const std::string& path, int64_t size, uint32_t attr = kAttrArchive);
  static uint8_t GeneratedByte(int64_t index);
  void SetAttributes(const std::string& path, uint32_t attr);
  /// A junction or symbolic link to the folder `target` (missing parents are created). Paths
  /// that pass through it reach the target, as on Windows; the entry itself has attribute
  /// folder + reparse point, and removing it removes the link only.
  void AddFolderLink(const std::string& path, const std::string& target);
  /// Writes a shell link file to `target`, as CreateShellLink and Save would.
  void AddShellLinkFile(const std::string& path, const std::string& target);
  void SetEnumerationOrder(EnumerationOrder order);
  void SetWindowsDirectory(const std::string& path);
  void SetVersion(uint32_t version);

  // --- looking at the machine ---
  bool Exists(const std::string& path) const;
  /// The content of a stored file, or nothing when `path` is no file (or a generated one).
  std::optional<std::string> FileContent(const std::string& path) const;
  int64_t FileSize(const std::string& path) const;  ///< -1 when no file
  uint32_t Attributes(const std::string& path) const;  ///< 0 when missing
  /// Names in a folder in enumeration order ("." and ".." left out).
  std::vector<std::string> List(const std::string& folder) const;
  /// Every file below `folder` as relative path -> content, in sorted order.
  std::map<std::string, std::string> Tree(const std::string& folder) const;
  int OpenStreams() const;  ///< streams not yet closed
  int OpenSearches() const; ///< enumerations not yet closed

  // --- failures on demand ---
  /// The `n`-th call (1-based, counted from now) of `op` fails with `error`; with
  /// `persistent` every later call fails too. For Read, a failing call delivers only half of
  /// what was asked (a short read); for Write, it writes half (a short write) and fails.
  void FailNth(Op op, int n, uint32_t error, bool persistent = false);
  /// Every call of `op` on `path` (full path, any case) fails with `error`.
  void FailPath(Op op, const std::string& path, uint32_t error);
  void ClearFaults();
  /// How many calls of `op` were made since construction.
  int Calls(Op op) const;

  // --- registry ---
  /// Makes opening `keyPath` (full path below a root, any case; "" for the root itself)
  /// fail with error 5, for both RegOpenKey and RegCreateKey.
  void RefuseKey(RegKey root, const std::string& keyPath);
  /// Makes opening `keyPath` with full access (RegOpenKey, RegCreateKey) fail with error 5,
  /// while RegOpenKeyForReading opens it: a user without write access to the key.
  void RefuseKeyWrite(RegKey root, const std::string& keyPath);
  void SetRegistryValue(RegKey root, const std::string& keyPath, const std::string& name,
                        uint32_t type, const std::string& rawData);
  bool KeyExists(RegKey root, const std::string& keyPath) const;
  /// Type and raw data of a value (strings with their NUL), nothing when missing.
  std::optional<std::pair<uint32_t, std::string>> RegistryValue(
      RegKey root, const std::string& keyPath, const std::string& name) const;
  /// Value names of a key in the order they were first written.
  std::vector<std::string> RegistryValueNames(RegKey root, const std::string& keyPath) const;
  int OpenKeys() const;

  // --- component objects, libraries, shell ---
  /// Makes CreateShellLink fail: with `hresult` (message from the system table or
  /// "OLE error %.8x"), or with "Interface not supported" when `missingInterface`.
  void FailShellLink(int32_t hresult, bool missingInterface = false);
  /// Makes `path` loadable as a library exporting `exports`. The file must also exist for
  /// LoadLibrary to succeed.
  void AddLibrary(const std::string& path, std::vector<std::string> exports);

  // --- what the code under test did ---
  std::vector<Dialog> dialogs;
  int endProcessCalls = 0;
  std::vector<SavedLink> savedLinks;  ///< successful saves, in order
  std::vector<Launch> launches;       ///< ShellExecute calls
  std::vector<std::string> libraryCalls;  ///< "load <path>", "call <name>", "free <path>"
  std::vector<std::string> protectedFolders;  ///< full paths CreateProtectedDir created
  /// What GetSystemFolders reports besides the Windows folder and its System32 and SysWOW64.
  SystemFolders systemFolders{{"C:\\Program Files", "C:\\Program Files (x86)", "C:\\ProgramData"},
                              "C:\\Users"};
  /// Called inside ShowMessageDialog, e.g. to check state while the box is "open".
  std::function<void(const Dialog&)> onDialog;

  // --- Platform ---
  int FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) override;
  int FindNext(SearchRec& rec) override;
  void FindClose(SearchRec& rec) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  uint32_t GetAttributes(const std::string& path) override;
  bool CreateDir(const std::string& path) override;
  /// CreateDir, recording the folder in protectedFolders (a fault of Op::CreateDir applies).
  bool CreateProtectedDir(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t RemoveDir(const std::string& path) override;
  uint32_t ChangeAttributes(const std::string& path, uint32_t attr) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  uint32_t ReplaceFile(const std::string& from, const std::string& to) override;
  OpenResult OpenFile(const std::string& path, OpenMode mode) override;
  std::string ExpandFileName(const std::string& path) override;
  int64_t DiskFree(int drive) override;
  int64_t DiskSize(int drive) override;
  std::string GetCurrentDir() override;
  uint32_t SetCurrentDir(const std::string& path) override;
  std::string GetWindowsDirectory() override;
  SystemFolders GetSystemFolders() override;
  uint32_t GetVersion() override;
  std::string SystemErrorMessage(uint32_t code) override;
  uint32_t RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) override;
  uint32_t RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) override;
  /// Counts as Op::RegOpenKey for faults.
  uint32_t RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                RegKey& result) override;
  uint32_t RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                         std::string& data) override;
  uint32_t RegSetStringValue(RegKey key, const std::string& name,
                             const std::string& data) override;
  void RegCloseKey(RegKey key) override;
  uint32_t RegDeleteKey(RegKey parent, const std::string& subKey) override;
  std::unique_ptr<ShellLink> CreateShellLink() override;
  /// Reads what SaveLink or AddShellLinkFile wrote.
  std::string ShellLinkTarget(const std::string& linkPath) override;
  intptr_t ShellExecute(uintptr_t ownerWindow, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int showCommand) override;
  LibraryHandle LoadLibrary(const std::string& path) override;
  ProcAddress GetProcAddress(LibraryHandle library, const std::string& name) override;
  int32_t CallEntryPoint(ProcAddress entry) override;
  void FreeLibrary(LibraryHandle library) override;
  void ShowMessageDialog(const std::string& text, DialogKind kind) override;
  /// Records the call and raises ProcessEnded.
  [[noreturn]] void EndProcess() override;

 private:
  uint32_t Move(const std::string& from, const std::string& to, bool replace);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace installer
