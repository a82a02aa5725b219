// The platform over the real Windows API (wide functions, UTF-8 converted at the boundary).
#include "engine/platform/win32/Win32Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "engine/Errors.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/win32/DllSearch.h"
#include "engine/platform/win32/WideText.h"

// After the Windows headers that DllSearch.h brings in: sddl.h relies on them.
#include <sddl.h>

namespace installer {
namespace {

// CreateDirectoryW refuses paths of MAX_PATH - 12 characters and more (room for an 8.3 name);
// the other file functions stop at MAX_PATH.
constexpr size_t kLongPathThreshold = MAX_PATH - 12;

// Attribute bits that FindFirst's mask must name for such entries to be delivered.
constexpr uint32_t kSpecialAttrs = kAttrHidden | kAttrSystem | kAttrVolumeId;

// Casts an entry point found by name to the type it has. The detour through a pointer to a
// function without parameters keeps GCC's -Wcast-function-type quiet (mingw-w64), which warns
// about any direct cast from FARPROC.
template <typename Function>
Function ProcAs(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// The full form of a path from GetFullPathNameW, or "" when it fails.
std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  while (size > 0) {
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0) break;
    if (length < size) {
      full.resize(length);
      return full;
    }
    size = length;  // the current directory grew in between: try again with the new size
  }
  return {};
}

// ---------------------------------------------------------------- registry handles

// The platform's root constants are the 32-bit values of HKEY_CURRENT_USER and friends. On
// 64-bit Windows the SDK's HKEY values are those numbers sign-extended to 64 bits; they are
// mapped so the registry sees exactly the handles it defines. A caller holding an SDK HKEY may
// pass either form, so both count as a root.
bool IsPredefinedKey(RegKey key) {
  const uint64_t value = key;
  const uint64_t high = value >> 32;
  return (high == 0 || high == 0xFFFFFFFFu) && (value & 0xFFFFFFF0u) == 0x80000000u;
}

HKEY ToHkey(RegKey key) {
  if (IsPredefinedKey(key)) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<ULONG>(key)))));
  }
  return reinterpret_cast<HKEY>(key);
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// ---------------------------------------------------------------- files

class Win32FileStream : public FileStream {
 public:
  explicit Win32FileStream(HANDLE handle) : handle(handle) {}
  ~Win32FileStream() override { CloseHandle(handle); }
  Win32FileStream(const Win32FileStream&) = delete;
  Win32FileStream& operator=(const Win32FileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override {
    if (count < 0) return -1;
    DWORD done = 0;
    if (!ReadFile(handle, buffer, Chunk(count), &done, nullptr)) {
      lastError = GetLastError();
      return -1;
    }
    return done;
  }

  // A full disk shows first as a short write that reports success; the count tells the caller.
  int64_t Write(const void* buffer, int64_t count) override {
    if (count < 0) return -1;
    DWORD done = 0;
    if (!WriteFile(handle, buffer, Chunk(count), &done, nullptr)) {
      lastError = GetLastError();
      return -1;
    }
    return done;
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) return -1;
    return size.QuadPart;
  }

  uint32_t LastError() const override { return lastError; }

  uint32_t RenameTo(const std::string& path) override;

 private:
  // One ReadFile/WriteFile call moves at most a DWORD's worth; the caller sees a shorter count.
  static DWORD Chunk(int64_t count) {
    return static_cast<DWORD>(
        std::min<int64_t>(count, std::numeric_limits<DWORD>::max()));
  }

  HANDLE handle;
  DWORD lastError = 0;
};

// ---------------------------------------------------------------- shell links

// Holds one COM interface pointer and releases it.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  Interface* operator->() const { return pointer; }
  explicit operator bool() const { return pointer != nullptr; }
  void** Receive() {
    Reset();
    return reinterpret_cast<void**>(&pointer);
  }
  void Reset() {
    if (pointer) pointer->Release();
    pointer = nullptr;
  }

 private:
  Interface* pointer = nullptr;
};

// The link object's own 8-bit functions (IShellLinkA) read their strings in the machine's ANSI
// code page, which would garble Persian paths on most machines. So the wide interface is used;
// the 8-bit one only where an object does not offer the wide one, with the text converted to
// the ANSI code page (unrepresentable characters become '?').
class Win32ShellLink : public ShellLink {
 public:
  ComRef<IShellLinkW> wide;
  ComRef<IShellLinkA> ansi;
  ComRef<IPersistFile> file;

  int32_t SetPath(const std::string& target) override {
    std::wstring wideTarget;
    if (!ToWide(target, wideTarget)) return kInvalidNameResult;
    if (wide) return wide->SetPath(wideTarget.c_str());
    return ansi->SetPath(ToAnsiCodePage(wideTarget).c_str());
  }

  int32_t SetWorkingDirectory(const std::string& folder) override {
    std::wstring wideFolder;
    if (!ToWide(folder, wideFolder)) return kInvalidNameResult;
    if (wide) return wide->SetWorkingDirectory(wideFolder.c_str());
    return ansi->SetWorkingDirectory(ToAnsiCodePage(wideFolder).c_str());
  }

  int32_t Save(const std::string& path) override {
    std::wstring widePath;
    if (!ToWide(path, widePath)) return kInvalidNameResult;
    return file->Save(widePath.c_str(), FALSE);
  }

 private:
  static constexpr int32_t kInvalidNameResult =
      static_cast<int32_t>(0x80070000u | ERROR_INVALID_NAME);

  static std::string ToAnsiCodePage(const std::wstring& wideText) {
    if (wideText.empty()) return {};
    const int size = static_cast<int>(wideText.size());
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideText.data(), size,
                                           nullptr, 0, "?", nullptr);
    std::string result(static_cast<size_t>(std::max(length, 0)), '\0');
    if (length > 0) {
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideText.data(), size, result.data(),
                          length, "?", nullptr);
    }
    return result;
  }
};

// ---------------------------------------------------------------- drives

// Windows shows its own "no disk in the drive" box when a call touches a drive without a
// medium (an empty CD or floppy drive), unless critical-error boxes are off; the installer
// reports such a failure itself ("I/O error 21."). Held around every call that may enter such a
// drive; the flags already set stay, and the previous mode comes back at the end.
class CriticalErrorBoxesOff {
 public:
  CriticalErrorBoxesOff() : previous(SetErrorMode(SEM_FAILCRITICALERRORS)) {
    SetErrorMode(previous | SEM_FAILCRITICALERRORS);
  }
  ~CriticalErrorBoxesOff() { SetErrorMode(previous); }
  CriticalErrorBoxesOff(const CriticalErrorBoxesOff&) = delete;
  CriticalErrorBoxesOff& operator=(const CriticalErrorBoxesOff&) = delete;

 private:
  const UINT previous;
};

// "A:\" .. "Z:\" for 1..26; nullptr (the root of the current directory) for 0.
bool DriveRoot(int drive, std::wstring& root, const wchar_t*& rootArg) {
  if (drive < 0 || drive > 26) return false;
  if (drive == 0) {
    rootArg = nullptr;
    return true;
  }
  root = {static_cast<wchar_t>(L'A' + drive - 1), L':', L'\\'};
  rootArg = root.c_str();
  return true;
}

// Free bytes for the caller and total bytes of a drive; false when the query fails.
bool QueryDiskSpace(int drive, int64_t& freeBytes, int64_t& totalBytes) {
  std::wstring root;
  const wchar_t* rootArg = nullptr;
  if (!DriveRoot(drive, root, rootArg)) return false;
  const CriticalErrorBoxesOff quiet;

  // The extended query is looked up by name: the first releases of Windows 95 lack it, and the
  // older one cannot report more than 2 GiB there.
  using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto getDiskFreeSpaceEx = kernel == nullptr
      ? nullptr
      : ProcAs<GetDiskFreeSpaceExFn>(::GetProcAddress(kernel, "GetDiskFreeSpaceExW"));
  if (getDiskFreeSpaceEx != nullptr) {
    ULARGE_INTEGER available, total, totalFree;
    if (!getDiskFreeSpaceEx(rootArg, &available, &total, &totalFree)) return false;
    freeBytes = static_cast<int64_t>(available.QuadPart);
    totalBytes = static_cast<int64_t>(total.QuadPart);
    return true;
  }
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
  if (!GetDiskFreeSpaceW(rootArg, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return false;
  }
  const int64_t clusterBytes = int64_t{sectorsPerCluster} * bytesPerSector;
  freeBytes = clusterBytes * freeClusters;
  totalBytes = clusterBytes * totalClusters;
  return true;
}

// ---------------------------------------------------------------- enumeration

// Moves on from `data` until an entry the mask lets through; 0 or the system's error code.
int SkipExcluded(HANDLE handle, WIN32_FIND_DATAW& data, uint32_t excludeAttr) {
  while ((data.dwFileAttributes & excludeAttr) != 0) {
    if (!FindNextFileW(handle, &data)) return static_cast<int>(GetLastError());
  }
  return 0;
}

void FillRecord(const WIN32_FIND_DATAW& data, SearchRec& rec) {
  rec.Name = WideToUtf8(data.cFileName);
  rec.Size = static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  rec.Attr = data.dwFileAttributes;
}

}  // namespace

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// True when the full form of `path` is certainly shorter than the long-path threshold, told
// without asking the system for it (that query ran for every path of every file operation):
// a path that names its drive or server only loses characters when it is made full ("." and
// ".." levels, doubled separators), one from the root of the current drive gains the drive,
// and a relative one at most the current directory and a backslash. A path relative to another
// drive's current directory ("D:x") is left to the query.
bool FullFormIsShort(const std::wstring& path) {
  constexpr size_t kMargin = 4;
  size_t bound = 0;
  if (path.size() >= 2 && path[1] == L':') {
    if (path.size() < 3 || !IsSeparator(path[2])) return false;
    bound = path.size();
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    bound = path.size();
  } else if (!path.empty() && IsSeparator(path[0])) {
    bound = path.size() + 2;
  } else {
    const DWORD current = GetCurrentDirectoryW(0, nullptr);  // its length and the NUL
    if (current == 0) return false;
    bound = current + path.size();
  }
  return bound + kMargin < kLongPathThreshold;
}

}  // namespace

bool FileSystemPath(const std::string& path, std::wstring& wide) {
  if (!ToWide(path, wide)) return false;
  // The wide functions stop at a NUL: "a.dll\0x" would name the file "a.dll". Such a name
  // names no file at all instead.
  if (wide.find(L'\0') != std::wstring::npos) return false;
  if (wide.rfind(L"\\\\?\\", 0) == 0) return true;  // already in the long form
  if (FullFormIsShort(wide)) return true;
  std::wstring full = FullPath(wide);
  if (full.size() < kLongPathThreshold) return true;
  if (full.rfind(L"\\\\.\\", 0) == 0) {
    wide = std::move(full);  // a device: no prefix applies
  } else if (full.rfind(L"\\\\", 0) == 0) {
    wide = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    wide = L"\\\\?\\" + full;
  }
  return true;
}

std::wstring FileSystemPath(const std::string& path) {
  std::wstring wide;
  return FileSystemPath(path, wide) ? wide : std::wstring();
}

namespace {

// A name that is not WTF-8 names no file: the operation fails as Windows fails an invalid name.
bool WidePath(const std::string& path, std::wstring& wide) {
  if (FileSystemPath(path, wide)) return true;
  SetLastError(ERROR_INVALID_NAME);
  return false;
}

// The NT form of a path that the wide functions take ("\\??\\C:\\a", "\\??\\UNC\\server\\share\\a"), or "".
std::wstring NtPathName(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + path.substr(4);
  const std::wstring full = FullPath(path);
  if (full.rfind(L"\\\\.\\", 0) == 0) return L"\\??\\" + full.substr(4);  // a device
  if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':') return L"\\??\\" + full;
  return {};
}

// The rename through the open handle is NtSetInformationFile's FileRenameInformation, which
// every Windows NT has (SetFileInformationByHandle, its documented form, came with Vista).
// It saves MoveFileEx's opening of the file by name, its look-up of the target and its close.
using NtSetInformationFileFn = LONG(WINAPI*)(HANDLE, void* ioStatus, void* information,
                                             ULONG length, int informationClass);
using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(LONG status);
constexpr int kFileRenameInformation = 10;

// FILE_RENAME_INFORMATION, with the name following the fixed part.
struct RenameInformation {
  BOOLEAN replaceIfExists;
  HANDLE rootDirectory;
  ULONG fileNameLength;  // in bytes
  WCHAR fileName[1];
};

uint32_t Win32FileStream::RenameTo(const std::string& path) {
  static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");  // mapped into every process
  static const auto setInformation =
      ntdll ? ProcAs<NtSetInformationFileFn>(GetProcAddress(ntdll, "NtSetInformationFile"))
            : nullptr;
  static const auto toDosError =
      ntdll ? ProcAs<RtlNtStatusToDosErrorFn>(GetProcAddress(ntdll, "RtlNtStatusToDosError"))
            : nullptr;
  if (setInformation == nullptr || toDosError == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  std::wstring wide;
  if (!WidePath(path, wide)) return ERROR_INVALID_NAME;
  const std::wstring ntName = NtPathName(wide);
  if (ntName.empty()) return ERROR_INVALID_NAME;
  const size_t nameBytes = ntName.size() * sizeof(WCHAR);
  std::vector<unsigned char> buffer(offsetof(RenameInformation, fileName) + nameBytes +
                                    sizeof(WCHAR));
  auto* information = reinterpret_cast<RenameInformation*>(buffer.data());
  information->replaceIfExists = FALSE;
  information->rootDirectory = nullptr;
  information->fileNameLength = static_cast<ULONG>(nameBytes);
  std::memcpy(information->fileName, ntName.data(), nameBytes);
  // IO_STATUS_BLOCK: a status or pointer, then the count.
  struct {
    ULONG_PTR status;
    ULONG_PTR information;
  } ioStatus{};
  const LONG status = setInformation(handle, &ioStatus, buffer.data(),
                                     static_cast<ULONG>(buffer.size()), kFileRenameInformation);
  return status >= 0 ? kErrorSuccess : toDosError(status);
}

}  // namespace

// ---------------------------------------------------------------- enumeration

int Win32Platform::FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) {
  rec.excludeAttr = ~attr & kSpecialAttrs;
  rec.handle = 0;
  std::wstring widePattern;
  if (!WidePath(pattern, widePattern)) return static_cast<int>(ERROR_INVALID_NAME);
  WIN32_FIND_DATAW data;
  const HANDLE handle = FindFirstFileW(widePattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  const int result = SkipExcluded(handle, data, rec.excludeAttr);
  if (result != 0) {
    // Nothing to deliver: the caller does not get a search to close.
    ::FindClose(handle);
    return result;
  }
  rec.handle = reinterpret_cast<uintptr_t>(handle);
  FillRecord(data, rec);
  return 0;
}

int Win32Platform::FindNext(SearchRec& rec) {
  if (rec.handle == 0) return static_cast<int>(ERROR_INVALID_HANDLE);
  const HANDLE handle = reinterpret_cast<HANDLE>(rec.handle);
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(handle, &data)) return static_cast<int>(GetLastError());
  const int result = SkipExcluded(handle, data, rec.excludeAttr);
  if (result == 0) FillRecord(data, rec);
  return result;
}

void Win32Platform::FindClose(SearchRec& rec) {
  if (rec.handle != 0) ::FindClose(reinterpret_cast<HANDLE>(rec.handle));
  rec.handle = 0;
}

// ---------------------------------------------------------------- files and folders

namespace {

DWORD Attributes(const std::string& path) {
  std::wstring wide;
  return WidePath(path, wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// As FileExists: asked per file of the target folder, whose drive is there.
uint32_t Win32Platform::GetAttributes(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes == INVALID_FILE_ATTRIBUTES ? uint32_t{kNoAttributes} : uint32_t{attributes};
}

bool Win32Platform::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  const CriticalErrorBoxesOff quiet;  // the folder may lie on a drive without its medium
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::CreateDir(const std::string& path) {
  std::wstring wide;
  return WidePath(path, wide) && CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

// P: the list does not inherit from the parent; OICI: each entry passes to files and folders
// below; FA: full control; 0x1200A9: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE; BA, SY, BU:
// Administrators, SYSTEM, Users.
void* NewProtectedFolderSecurity() {
  constexpr wchar_t kAccessList[] =
      L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAccessList, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return nullptr;
  }
  return descriptor;
}

// Created with its access list in place, so there is no moment in which another user could
// put a file into the new folder.
bool Win32Platform::CreateProtectedDir(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  const PSECURITY_DESCRIPTOR descriptor = NewProtectedFolderSecurity();
  if (descriptor == nullptr) return CreateDir(path);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL created = CreateDirectoryW(wide.c_str(), &attributes);
  LocalFree(descriptor);
  return created != FALSE;
}

bool Win32Platform::DeleteFile(const std::string& path) {
  std::wstring wide;
  return WidePath(path, wide) && DeleteFileW(wide.c_str()) != FALSE;
}

uint32_t Win32Platform::RemoveFile(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return ERROR_INVALID_NAME;
  return DeleteFileW(wide.c_str()) != FALSE ? 0 : GetLastError();
}

// RemoveDirectoryW takes a junction or directory symbolic link away itself; it never reaches
// into the target.
uint32_t Win32Platform::RemoveDir(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return ERROR_INVALID_NAME;
  return RemoveDirectoryW(wide.c_str()) != FALSE ? 0 : GetLastError();
}

uint32_t Win32Platform::ChangeAttributes(const std::string& path, uint32_t attr) {
  std::wstring wide;
  if (!WidePath(path, wide)) return ERROR_INVALID_NAME;
  // SetFileAttributesW refuses the folder and reparse bits; they are not the caller's to set.
  const DWORD settable = attr & ~static_cast<DWORD>(kAttrDirectory | kAttrReparsePoint);
  return SetFileAttributesW(wide.c_str(), settable != 0 ? settable : FILE_ATTRIBUTE_NORMAL) != FALSE
             ? 0
             : GetLastError();
}

bool Win32Platform::RenameFile(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  return WidePath(from, wideFrom) && WidePath(to, wideTo) &&
         MoveFileW(wideFrom.c_str(), wideTo.c_str()) != FALSE;
}

// One rename that takes the place of an existing file; Windows refuses a folder or a read-only
// file as the target (access denied). No copy between drives: the engine renames within one
// folder.
uint32_t Win32Platform::ReplaceFile(const std::string& from, const std::string& to) {
  std::wstring source, target;
  if (!WidePath(from, source) || !WidePath(to, target)) return ERROR_INVALID_NAME;
  // Wine 8 replaces a read-only file all the same; refuse it here as Windows does.
  const DWORD targetAttributes = GetFileAttributesW(target.c_str());
  if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
      (targetAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
          FILE_ATTRIBUTE_READONLY) {
    return ERROR_ACCESS_DENIED;
  }
  return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
             ? kErrorSuccess
             : GetLastError();
}

OpenResult Win32Platform::OpenFile(const std::string& path, OpenMode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = 0;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::ReadExclusive:
      break;
    case OpenMode::ReadShared:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    case OpenMode::CreateExclusive:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::CreateNew:
      access = GENERIC_READ | GENERIC_WRITE | DELETE;  // DELETE: renamed through the handle
      disposition = CREATE_NEW;
      break;
    case OpenMode::CreateShareRead:
      access = GENERIC_WRITE;
      share = FILE_SHARE_READ;
      disposition = CREATE_ALWAYS;
      break;
  }
  OpenResult result;
  std::wstring wide;
  if (!WidePath(path, wide)) {
    result.error = ERROR_INVALID_NAME;
    return result;
  }
  const HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    result.error = GetLastError();
    return result;
  }
  result.stream = std::make_unique<Win32FileStream>(handle);
  return result;
}

// A path that is no name at all is given back as it is, so that the error message naming it
// shows what the engine was given.
std::string Win32Platform::ExpandFileName(const std::string& path) {
  std::wstring wide;
  if (!ToWide(path, wide)) return path;
  return WideToUtf8(FullPath(wide));
}

// ---------------------------------------------------------------- drives

int64_t Win32Platform::DiskFree(int drive) {
  int64_t freeBytes, totalBytes;
  return QueryDiskSpace(drive, freeBytes, totalBytes) ? freeBytes : -1;
}

int64_t Win32Platform::DiskSize(int drive) {
  int64_t freeBytes, totalBytes;
  return QueryDiskSpace(drive, freeBytes, totalBytes) ? totalBytes : -1;
}

// ---------------------------------------------------------------- process environment

std::string Win32Platform::GetCurrentDir() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  while (size > 0) {
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    if (length == 0) break;
    if (length < size) {
      folder.resize(length);
      return WideToUtf8(folder);
    }
    size = length;
  }
  return {};
}

uint32_t Win32Platform::SetCurrentDir(const std::string& path) {
  // No long-path form here: the current directory itself cannot be longer than MAX_PATH.
  std::wstring wide;
  if (!ToWide(path, wide)) return ERROR_INVALID_NAME;
  const CriticalErrorBoxesOff quiet;  // entering a drive without its medium
  return SetCurrentDirectoryW(wide.c_str()) ? kErrorSuccess : GetLastError();
}

std::string Win32Platform::GetWindowsDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return WideToUtf8(std::wstring_view(buffer, length));
}

// Each folder the shell knows, "" where this Windows has none (SysWOW64 on 32-bit systems).
SystemFolders Win32Platform::GetSystemFolders() {
  static constexpr int kFolders[] = {
      CSIDL_WINDOWS,          CSIDL_SYSTEM,           CSIDL_SYSTEMX86,
      CSIDL_PROGRAM_FILES,    CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
      CSIDL_COMMON_APPDATA,   CSIDL_COMMON_DOCUMENTS, CSIDL_PROFILE,
      CSIDL_APPDATA,          CSIDL_LOCAL_APPDATA,    CSIDL_PERSONAL,
      CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU,        CSIDL_COMMON_STARTMENU,
  };
  SystemFolders result;
  for (const int folder : kFolders) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) continue;
    result.folders.push_back(WideToUtf8(buffer));
    if (folder == CSIDL_PROFILE) {
      const std::string& profile = result.folders.back();
      const size_t cut = profile.find_last_of('\\');
      if (cut != std::string::npos && cut > 2) result.profilesRoot = profile.substr(0, cut);
    }
  }
  return result;
}

uint32_t Win32Platform::GetVersion() { return ::GetVersion(); }

std::string Win32Platform::SystemErrorMessage(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) text = WideToUtf8(std::wstring_view(buffer, length));
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}

// ---------------------------------------------------------------- registry

uint32_t Win32Platform::RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) {
  result = 0;
  std::wstring wideSubKey;
  if (!ToWide(subKey, wideSubKey)) return ERROR_INVALID_NAME;
  HKEY key = nullptr;
  const LONG status = RegCreateKeyExW(ToHkey(parent), wideSubKey.c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                      nullptr);
  result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
  return static_cast<uint32_t>(status);
}

uint32_t Win32Platform::RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) {
  result = 0;
  std::wstring wideSubKey;
  if (!ToWide(subKey, wideSubKey)) return ERROR_INVALID_NAME;
  HKEY key = nullptr;
  const LONG status =
      RegOpenKeyExW(ToHkey(parent), wideSubKey.c_str(), 0, KEY_ALL_ACCESS, &key);
  result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
  return static_cast<uint32_t>(status);
}

uint32_t Win32Platform::RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                             RegKey& result) {
  result = 0;
  std::wstring wideSubKey;
  if (!ToWide(subKey, wideSubKey)) return ERROR_INVALID_NAME;
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExW(ToHkey(parent), wideSubKey.c_str(), 0, KEY_READ, &key);
  result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
  return static_cast<uint32_t>(status);
}

uint32_t Win32Platform::RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                                      std::string& data) {
  type = 0;
  data.clear();
  if (key == 0) return ERROR_INVALID_HANDLE;  // a key that did not open
  std::wstring valueName;
  if (!ToWide(name, valueName)) return ERROR_INVALID_NAME;
  std::string raw;
  DWORD valueType = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &valueType, nullptr,
                                 &size);
  // Another writer may enlarge the value between the two calls; ask again with its new size.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    raw.assign(size, '\0');
    status = RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &valueType,
                              reinterpret_cast<BYTE*>(raw.data()), &size);
    if (status == ERROR_SUCCESS) {
      raw.resize(size);
      break;
    }
  }
  if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);

  type = valueType;
  if (IsStringType(valueType)) {
    // UTF-16 as stored, its NUL (or its lack) included; an odd trailing byte is no character.
    std::wstring wide(raw.size() / sizeof(wchar_t), L'\0');
    std::copy_n(raw.data(), wide.size() * sizeof(wchar_t), reinterpret_cast<char*>(wide.data()));
    data = WideToUtf8(wide);
  } else {
    data = std::move(raw);
  }
  return ERROR_SUCCESS;
}

uint32_t Win32Platform::RegSetStringValue(RegKey key, const std::string& name,
                                          const std::string& data) {
  std::wstring wideName, wideData;
  if (!ToWide(name, wideName) || !ToWide(data, wideData)) return ERROR_INVALID_PARAMETER;
  const DWORD bytes = static_cast<DWORD>((wideData.size() + 1) * sizeof(wchar_t));  // with NUL
  return static_cast<uint32_t>(RegSetValueExW(ToHkey(key), wideName.c_str(), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(wideData.c_str()),
                                              bytes));
}

void Win32Platform::RegCloseKey(RegKey key) {
  if (key != 0 && !IsPredefinedKey(key)) ::RegCloseKey(ToHkey(key));
}

// ---------------------------------------------------------------- component objects and shell

std::unique_ptr<ShellLink> Win32Platform::CreateShellLink() {
  ComRef<IUnknown> object;
  const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr,
                                           CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                           IID_IUnknown, object.Receive());
  if (FAILED(created)) {
    throw InstallError(
        OleErrorMessage(created, SystemErrorMessage(static_cast<uint32_t>(created))));
  }
  auto link = std::make_unique<Win32ShellLink>();
  if (FAILED(object->QueryInterface(IID_IShellLinkW, link->wide.Receive()))) {
    link->wide.Reset();
    if (FAILED(object->QueryInterface(IID_IShellLinkA, link->ansi.Receive()))) {
      throw InstallError(kInterfaceNotSupported);
    }
  }
  if (FAILED(object->QueryInterface(IID_IPersistFile, link->file.Receive()))) {
    throw InstallError(kInterfaceNotSupported);
  }
  return link;
}

// RegDeleteKeyW takes only a key without subkeys, which is all the removal asks of it.
uint32_t Win32Platform::RegDeleteKey(RegKey parent, const std::string& subKey) {
  std::wstring wideSubKey;
  if (!ToWide(subKey, wideSubKey) || wideSubKey.empty()) return ERROR_INVALID_NAME;
  return static_cast<uint32_t>(RegDeleteKeyW(ToHkey(parent), wideSubKey.c_str()));
}

// Reads the link without resolving it (no IShellLink::Resolve): the stored path is what counts,
// and resolving could search the disks or rewrite the file.
std::string Win32Platform::ShellLinkTarget(const std::string& linkPath) {
  std::wstring widePath;
  if (!ToWide(linkPath, widePath)) return "";
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.Receive()))) {
    return "";
  }
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Receive())) ||
      FAILED(file->Load(widePath.c_str(), STGM_READ))) {
    return "";
  }
  // The target's item list first: it carries the names as saved. Wine answers GetPath from the
  // link's ANSI copy of the path, in which a Persian folder is "????".
  wchar_t target[MAX_PATH + 1] = {};
  PIDLIST_ABSOLUTE items = nullptr;
  if (SUCCEEDED(link->GetIDList(&items)) && items != nullptr) {
    const BOOL found = SHGetPathFromIDListW(items, target);
    CoTaskMemFree(items);
    if (found && target[0] != L'\0') return WideToUtf8(target);
  }
  if (link->GetPath(target, MAX_PATH + 1, nullptr, SLGP_RAWPATH) != S_OK) return "";
  return WideToUtf8(target);
}

intptr_t Win32Platform::ShellExecute(uintptr_t ownerWindow, const std::string& verb,
                                     const std::string& file, const std::string& parameters,
                                     const std::string& directory, int showCommand) {
  std::wstring wideVerb, wideFile, wideParameters, wideDirectory;
  if (!ToWide(verb, wideVerb) || !ToWide(file, wideFile) || !ToWide(parameters, wideParameters) ||
      !ToWide(directory, wideDirectory)) {
    return SE_ERR_FNF;  // what ShellExecute answers for a file it cannot find
  }
  // Empty texts go as pointers to "", never as null: empty parameters and directory are what
  // the callers mean ("no parameters", "the current directory").
  const HINSTANCE result =
      ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), wideVerb.c_str(), wideFile.c_str(),
                    wideParameters.c_str(), wideDirectory.c_str(), showCommand);
  return reinterpret_cast<intptr_t>(result);
}

// ---------------------------------------------------------------- libraries

// A component's own imports come from its folder and the system folder only, never from
// setup.exe's folder or the current directory. A bare name is looked for in the system
// folder alone.
LibraryHandle Win32Platform::LoadLibrary(const std::string& path) {
  std::wstring wide;
  if (!ToWide(path, wide)) return 0;
  const bool searchFlags = LibrarySearchFlagsSupported();
  if (wide.find_first_of(L"\\/:") == std::wstring::npos) {
    return reinterpret_cast<LibraryHandle>(
        LoadLibraryExW(wide.c_str(), nullptr, searchFlags ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0));
  }
  // The folder flags need a full path. Without an extension the loader would add ".dll"
  // and load another file than the one the caller found; a final "." tells it not to.
  std::wstring full = FullPath(wide);
  if (full.empty()) return 0;
  const size_t nameStart = full.find_last_of(L"\\/") + 1;
  if (full.find(L'.', nameStart) == std::wstring::npos) full += L'.';
  const DWORD flags = searchFlags
                          ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                          : LOAD_WITH_ALTERED_SEARCH_PATH;
  return reinterpret_cast<LibraryHandle>(LoadLibraryExW(full.c_str(), nullptr, flags));
}

ProcAddress Win32Platform::GetProcAddress(LibraryHandle library, const std::string& name) {
  // Export names are ASCII; GetProcAddress has only the 8-bit form.
  return reinterpret_cast<ProcAddress>(
      ::GetProcAddress(reinterpret_cast<HMODULE>(library), name.c_str()));
}

int32_t Win32Platform::CallEntryPoint(ProcAddress entry) {
  // Self-registration entry points are stdcall on 32-bit Windows (WINAPI) and return an HRESULT.
  using EntryPoint = HRESULT(WINAPI*)();
  return reinterpret_cast<EntryPoint>(entry)();
}

void Win32Platform::FreeLibrary(LibraryHandle library) {
  if (library != 0) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

// ---------------------------------------------------------------- user interaction and process

void Win32Platform::ShowMessageDialog(const std::string& text, DialogKind kind) {
  const bool warning = kind == DialogKind::Warning;
  UINT style = MB_OK | (warning ? MB_ICONWARNING : MB_ICONINFORMATION);
  // A Persian text reads right to left; the box is not mirrored, only its reading order
  // changes. A text in English keeps its order, also where it quotes a Persian name.
  if (ReadsRightToLeft(text)) style |= MB_RTLREADING | MB_RIGHT;
  MessageBoxW(GetActiveWindow(), DisplayWide(text).c_str(),
              warning ? L"Warning" : L"Information", style);
}

void Win32Platform::EndProcess() { ExitProcess(0); }

}  // namespace installer
