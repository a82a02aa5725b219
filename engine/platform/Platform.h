// The operating-system services the installation engine uses, behind one interface.
// Strings are UTF-8 (names from the system as WTF-8, which keeps every name Windows can hold);
// implementations convert at their boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace installer {

/// File attribute bits, as the file system reports them.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolumeId = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrAnyFile = 0x3F,
  kAttrReparsePoint = 0x400,  ///< a junction, mount point or symbolic link
  kNoAttributes = 0xFFFFFFFF, ///< GetAttributes: nothing by that name, or no answer
};

/// One enumerated directory entry plus the open search it came from.
/// A copy keeps referring to the same open search, so a caller may save and restore it.
struct SearchRec {
  std::string Name;  ///< entry name without a path
  int64_t Size = 0;  ///< full size in bytes (0 for folders)
  uint32_t Attr = 0; ///< full attribute word
  // Owned by the platform: the open search and the attribute mask it filters with.
  uintptr_t handle = 0;
  uint32_t excludeAttr = 0;
};

/// Open modes used by the engine's streams and text files.
enum class OpenMode {
  ReadExclusive,   ///< read access, no sharing, must exist (copy sources)
  ReadShared,      ///< read access, others may read and write, must exist (list files)
  CreateExclusive, ///< read/write, no sharing, created anew or truncated
  CreateNew,       ///< read/write, no sharing, fails when the name exists (temporary copies)
  CreateShareRead, ///< write, others may read, created anew or truncated (INSTALL.CFG)
};

/// An open file; the destructor closes it.
class FileStream {
 public:
  virtual ~FileStream() = default;
  /// Bytes actually read (0 at the end), or -1 when the read failed.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  /// Bytes actually written, which may be fewer than asked (a full disk), or -1 on failure.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  /// Current size in bytes, or -1 when it cannot be read.
  virtual int64_t Size() = 0;
  /// The system error code of the last Read or Write that returned -1 (0 when none did).
  virtual uint32_t LastError() const = 0;
  /// Gives the open file the name `path` on the same drive without reopening it by name; fails
  /// when anything has that name already. The stream stays open. Returns 0 or the system
  /// error code.
  virtual uint32_t RenameTo(const std::string& path) = 0;
};

struct OpenResult {
  std::unique_ptr<FileStream> stream; ///< null when the open failed
  uint32_t error = 0;                 ///< system error code when stream is null
};

/// A Shell Link object (a .lnk file being composed).
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  virtual int32_t SetPath(const std::string& target) = 0;              ///< HRESULT
  virtual int32_t SetWorkingDirectory(const std::string& folder) = 0;  ///< HRESULT
  /// Writes the link to `path` (fRemember FALSE). Returns the HRESULT.
  virtual int32_t Save(const std::string& path) = 0;
};

enum class DialogKind { Warning, Information };

/// Registry handles. The two roots carry the system's predefined values.
using RegKey = uintptr_t;
inline constexpr RegKey kHKeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHKeyLocalMachine = 0x80000002u;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

/// Folders a removal must never take: none of them, nor any folder holding one of them.
struct SystemFolders {
  std::vector<std::string> folders;  ///< Windows, system, Program Files, ... (full paths)
  /// The folder holding the users' profiles: each folder directly in it is someone's profile.
  std::string profilesRoot;
};

using LibraryHandle = uintptr_t;
using ProcAddress = uintptr_t;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- enumeration ---
  /// Starts an enumeration of `pattern`. Entries with the hidden, system or volume-label bit are
  /// delivered only when `attr` holds that bit. Returns 0 when an entry was delivered into `rec`,
  /// else an error code (the search is then already closed, but FindClose stays harmless).
  virtual int FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) = 0;
  virtual int FindNext(SearchRec& rec) = 0;
  virtual void FindClose(SearchRec& rec) = 0;

  // --- files and folders ---
  virtual bool FileExists(const std::string& path) = 0;       ///< a file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  ///< a folder
  /// The attribute word of the file or folder `path`, or kNoAttributes when there is none (or
  /// it cannot be looked up): one lookup where several questions about one name are asked.
  virtual uint32_t GetAttributes(const std::string& path) = 0;
  virtual bool CreateDir(const std::string& path) = 0;        ///< one level
  /// Creates one folder that belongs to the administrators: its access list inherits nothing
  /// from the parent and gives full control to Administrators and SYSTEM, read and execute
  /// to Users, each inherited by everything created below it. Where the system keeps no
  /// access lists, an ordinary folder.
  virtual bool CreateProtectedDir(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  /// Deletes a file, giving the reason when it cannot: 0 or the system error code (32 while
  /// another program holds it open, 5 when it is read-only).
  virtual uint32_t RemoveFile(const std::string& path) = 0;
  /// Removes an empty folder. A junction or symbolic link is removed itself, never what it
  /// points at. 0 or the system error code (145 when something is still in it).
  virtual uint32_t RemoveDir(const std::string& path) = 0;
  /// Replaces the attribute word of a file or folder (read-only, hidden, ...). 0 or the
  /// system error code.
  virtual uint32_t ChangeAttributes(const std::string& path, uint32_t attr) = 0;
  /// Renames a file or folder; fails when `to` exists.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  /// Renames file `from` to `to` in one step, replacing a file `to` where the system allows
  /// it (not a folder, not a read-only file). Returns 0 or the system error code.
  virtual uint32_t ReplaceFile(const std::string& from, const std::string& to) = 0;
  virtual OpenResult OpenFile(const std::string& path, OpenMode mode) = 0;
  /// The absolute form of `path`, resolved against the current directory.
  virtual std::string ExpandFileName(const std::string& path) = 0;

  // --- drives ---
  /// Bytes free to the caller / total bytes of drive 1 = A, 2 = B, ...; 0 = current drive.
  /// -1 when the query fails.
  virtual int64_t DiskFree(int drive) = 0;
  virtual int64_t DiskSize(int drive) = 0;

  // --- process environment ---
  virtual std::string GetCurrentDir() = 0;
  /// 0 on success, else the system error code.
  virtual uint32_t SetCurrentDir(const std::string& path) = 0;
  virtual std::string GetWindowsDirectory() = 0;  ///< drive letter first, no trailing backslash
  virtual SystemFolders GetSystemFolders() = 0;
  virtual uint32_t GetVersion() = 0;              ///< low byte major, next byte minor
  /// The system's text for an error code, as the system gives it ("" when it has none).
  virtual std::string SystemErrorMessage(uint32_t code) = 0;

  // --- registry (every open but RegOpenKeyForReading asks for full access) ---
  /// Opens `subKey` below `parent`, creating it when missing. Returns the error code; `result`
  /// is 0 when the key is not open.
  virtual uint32_t RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) = 0;
  /// Opens an existing key without creating it.
  virtual uint32_t RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) = 0;
  /// Opens an existing key for reading its values only (KEY_READ), which a user without
  /// write access to the key is also granted.
  virtual uint32_t RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                        RegKey& result) = 0;
  /// Reads a value's type and raw data. String data comes back in UTF-8 with its
  /// terminating NUL as stored. Returns the error code (2 when the value is missing).
  virtual uint32_t RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                                 std::string& data) = 0;
  /// Writes a REG_SZ value: `data` and its terminating NUL. Returns the error code.
  virtual uint32_t RegSetStringValue(RegKey key, const std::string& name,
                                     const std::string& data) = 0;
  virtual void RegCloseKey(RegKey key) = 0;
  /// Deletes the key `subKey` below `parent` with its values; a key that still has subkeys
  /// stays (5). Returns the error code (2 when there is no such key).
  virtual uint32_t RegDeleteKey(RegKey parent, const std::string& subKey) = 0;

  // --- component objects and the shell ---
  /// Creates the Shell Link object. Raises InstallError with the system's message for the
  /// failure code (or "OLE error %.8x"), or "Interface not supported".
  virtual std::unique_ptr<ShellLink> CreateShellLink() = 0;
  /// The target path a saved shell link (.lnk) points at; "" when the file is no link or
  /// cannot be read.
  virtual std::string ShellLinkTarget(const std::string& linkPath) = 0;
  virtual intptr_t ShellExecute(uintptr_t ownerWindow, const std::string& verb,
                                const std::string& file, const std::string& parameters,
                                const std::string& directory, int showCommand) = 0;

  // --- libraries ---
  virtual LibraryHandle LoadLibrary(const std::string& path) = 0;  ///< 0 on failure
  virtual ProcAddress GetProcAddress(LibraryHandle library, const std::string& name) = 0;
  /// Calls an entry point that takes no arguments and returns a 32-bit status (stdcall).
  virtual int32_t CallEntryPoint(ProcAddress entry) = 0;
  virtual void FreeLibrary(LibraryHandle library) = 0;

  // --- user interaction and process ---
  /// Modal box with one OK button: Warning ("Warning", exclamation) or Information
  /// ("Information", information icon).
  virtual void ShowMessageDialog(const std::string& text, DialogKind kind) = 0;
  /// Ends the process at once with exit code 0. Never returns to the caller (a test
  /// platform raises ProcessEnded instead).
  [[noreturn]] virtual void EndProcess() = 0;
};

/// Closes an enumeration when it goes out of scope, also when the code in between raises.
class SearchCloser {
 public:
  SearchCloser(Platform& platform, SearchRec& rec) : platform_(platform), rec_(rec) {}
  ~SearchCloser() { platform_.FindClose(rec_); }
  SearchCloser(const SearchCloser&) = delete;
  SearchCloser& operator=(const SearchCloser&) = delete;

 private:
  Platform& platform_;
  SearchRec& rec_;
};

/// Closes a registry key (if one was opened) when it goes out of scope.
class RegKeyCloser {
 public:
  RegKeyCloser(Platform& platform, RegKey key) : platform_(platform), key_(key) {}
  ~RegKeyCloser() {
    if (key_ != 0) platform_.RegCloseKey(key_);
  }
  RegKeyCloser(const RegKeyCloser&) = delete;
  RegKeyCloser& operator=(const RegKeyCloser&) = delete;

 private:
  Platform& platform_;
  RegKey key_;
};

/// Raised by a test platform's EndProcess so that nothing after it runs. Not an error:
/// it does not derive from std::exception, so error reports never catch it.
struct ProcessEnded {};

}  // namespace installer
