// The steps after the copy, through the real API: system files and self-registration, fonts,
// shortcuts, the uninstall entry, and the start-up check for an installed product.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"
// SHDeleteKeyW removes a key with its subkeys on every Windows the builds start on (XP has no
// RegDeleteTreeW).
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/InstallSteps.h"
#include "tests/InstallErrorText.h"
#include "tests/win32/Win32TestSupport.h"
#include "ui/Elevation.h"

namespace installer {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::W;
using testing::WriteBytes;

/// A registry value read back through the wide API: type and data as stored.
struct StoredValue {
  DWORD type = 0;
  std::wstring data;  // including the terminating NUL when stored with one
  bool found = false;
};

StoredValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  StoredValue value;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, nullptr, &size) ==
      ERROR_SUCCESS) {
    value.data.resize(size / sizeof(wchar_t));
    RegQueryValueExW(opened, name.c_str(), nullptr, &value.type,
                     reinterpret_cast<BYTE*>(value.data.data()), &size);
    value.found = true;
  }
  RegCloseKey(opened);
  return value;
}

std::wstring WithNul(const std::wstring& text) { return text + L'\0'; }

class Win32StepsTest : public ::testing::Test {
 protected:
  testing::RecordingWin32Platform platform;
  InstallSession session{platform};
  std::string root;
  std::string startDir;
  std::string unique;  // distinguishes what this run puts into shared Windows folders

  void SetUp() override {
    root = testing::FreshTestFolder();
    unique = "wintest" + std::to_string(GetCurrentProcessId());
    startDir = platform.GetCurrentDir();
    platform.SetCurrentDir(root);  // the medium's root
    InitializeSession(session);
  }
  void TearDown() override {
    platform.SetCurrentDir(startDir);
    testing::RemoveTree(W(root));
  }
};

TEST_F(Win32StepsTest, SystemFileIsCopiedAndItsRegistrationCalled) {
  const std::string dll = unique + ".dll";
  CreateDirectoryW(W(root + "\\System").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(W(testing::TestProgramFolder() + "\\register_marker.dll").c_str(),
                        W(root + "\\System\\" + dll).c_str(), FALSE));
  ASSERT_TRUE(WriteBytes(root + "\\System\\SYSTEM.TXT", dll + "\r\nabsent-" + dll + "\r\n"));
  InstallSystemFiles(session);

  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string systemDir = WideToUtf8(windows) + "\\System32\\";
  EXPECT_EQ(session.SystemDir, systemDir);  // Wine reports Windows 7 (major version 6)
  EXPECT_EQ(ReadBytes(systemDir + dll), ReadBytes(root + "\\System\\" + dll));
  EXPECT_TRUE(Exists(systemDir + dll + ".registered"));
  DeleteFileW(W(systemDir + dll).c_str());
  DeleteFileW(W(systemDir + dll + ".registered").c_str());
  DeleteFileW(W(systemDir + "SYSTEM.TXT").c_str());
}

// regression: the system adds ".dll" to a library name without an extension, so a listed
// name "comp" was tested as the file "comp" but loaded as "comp.dll" (or not at all).
TEST_F(Win32StepsTest, ListedNameWithoutAnExtensionRegistersThatFile) {
  const std::string name = unique + "-noext";
  CreateDirectoryW(W(root + "\\System").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(W(testing::TestProgramFolder() + "\\register_marker.dll").c_str(),
                        W(root + "\\System\\" + name).c_str(), FALSE));
  ASSERT_TRUE(WriteBytes(root + "\\System\\SYSTEM.TXT", name + "\r\n"));
  InstallSystemFiles(session);
  const std::string systemDir = session.SystemDir;
  EXPECT_TRUE(Exists(systemDir + name + ".registered"));
  EXPECT_FALSE(Exists(systemDir + name + ".dll.registered"));
  DeleteFileW(W(systemDir + name).c_str());
  DeleteFileW(W(systemDir + name + ".registered").c_str());
  DeleteFileW(W(systemDir + "SYSTEM.TXT").c_str());
}

// regression: a component was loaded with the default search, so its own imports came from
// setup.exe's folder or the current directory before its folder. Here a component imports
// planted_marker.dll; copies of it lie beside the component, in the current directory and
// beside the test program (which stands in for setup.exe's folder).
TEST_F(Win32StepsTest, ComponentImportsComeFromItsOwnFolder) {
  const std::string programs = testing::TestProgramFolder();
  const std::string component = root + "\\component";
  const std::string current = root + "\\current";
  CreateDirectoryW(W(component).c_str(), nullptr);
  CreateDirectoryW(W(current).c_str(), nullptr);
  for (const std::string& folder : {component, current}) {
    ASSERT_TRUE(CopyFileW(W(programs + "\\planted_marker.dll").c_str(),
                          W(folder + "\\planted_marker.dll").c_str(), FALSE));
  }
  ASSERT_TRUE(CopyFileW(W(programs + "\\register_dependent.dll").c_str(),
                        W(component + "\\" + unique + "-dependent.dll").c_str(), FALSE));
  DeleteFileW(W(programs + "\\planted_marker.dll.loaded").c_str());
  platform.SetCurrentDir(current);
  EXPECT_TRUE(RegisterComponent(platform, component + "\\" + unique + "-dependent.dll", true));
  platform.SetCurrentDir(root);
  EXPECT_TRUE(Exists(component + "\\planted_marker.dll.loaded"));
  EXPECT_FALSE(Exists(current + "\\planted_marker.dll.loaded"));
  EXPECT_FALSE(Exists(programs + "\\planted_marker.dll.loaded"));
  DeleteFileW(W(programs + "\\planted_marker.dll.loaded").c_str());
}

// The elevated copy starts in the folder it is given (the medium's root), and the first
// process ends without a message. Wine starts a "runas" program without a prompt.
TEST_F(Win32StepsTest, ElevatedCopyStartsInTheMediumsRootAndTheFirstProcessEnds) {
  const std::string program = root + "\\copy.exe";
  const std::string medium = root + "\\medium";
  CreateDirectoryW(W(medium).c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(W(testing::TestProgramFolder() + "\\marker_program.exe").c_str(),
                        W(program).c_str(), FALSE));
  EXPECT_THROW(StartElevatedCopy(platform, nullptr, W(program), W(medium)), ProcessEnded);
  EXPECT_TRUE(platform.dialogs.empty());
  // The program writes its working directory (UTF-16) into "<program>.started".
  std::string started = "<missing>";
  for (int i = 0; i < 100 && (started == "<missing>" || started.empty()); ++i) {
    Sleep(100);
    started = ReadBytes(program + ".started");
  }
  const std::wstring wide = W(medium);
  EXPECT_EQ(started, std::string(reinterpret_cast<const char*>(wide.data()),
                                 wide.size() * sizeof(wchar_t)));
}

// regression: the temporary copy was "<name>.setup-part", past the 255 characters of one
// name for a destination of 245 characters or more.
TEST_F(Win32StepsTest, CopyToANameOf255Characters) {
  for (size_t length : {245u, 250u, 255u}) {
    const std::string destination = root + "\\" + std::string(length - 4, 'n') + ".dat";
    ASSERT_TRUE(WriteBytes(root + "\\source.bin", std::string(70'000, 's')));
    std::string error;
    try {
      CopyFileStream(platform, root + "\\source.bin", destination);
    } catch (const InstallError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, "") << length;
    EXPECT_EQ(ReadBytes(destination), std::string(70'000, 's')) << length;
    EXPECT_FALSE(Exists(PartialCopyName(destination))) << length;
  }
}

TEST_F(Win32StepsTest, FontsLandInTheFontsFolderAndBothKeys) {
  const std::string font = unique + ".ttf";
  CreateDirectoryW(W(root + "\\Fonts").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(root + "\\Fonts\\" + font, "not really a font, but bytes"));
  InstallFonts(session);

  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string fontPath = WideToUtf8(windows) + "\\Fonts\\" + font;
  EXPECT_EQ(ReadBytes(fontPath), "not really a font, but bytes");
  for (const char* key : {kFontsKey, kFontsKeyNt}) {
    const StoredValue value = ReadValue(HKEY_LOCAL_MACHINE, W(key), W(font));
    EXPECT_TRUE(value.found) << key;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << key;
    EXPECT_EQ(value.data, WithNul(W(fontPath))) << key;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(key).c_str(), 0, KEY_ALL_ACCESS, &opened) == 0) {
      RegDeleteValueW(opened, W(font).c_str());
      RegCloseKey(opened);
    }
  }
  DeleteFileW(W(fontPath).c_str());
}

// A file already in a Windows folder that cannot be replaced (in use by another process, or
// read-only) is kept as it is, without an error; a folder in the file's place is a copy error.
enum class Obstacle { HeldOpen, ReadOnly, Folder };

struct ObstacleCase {
  const char* what;
  Obstacle obstacle;
};
const ObstacleCase kObstacles[] = {
    {"held open by another process", Obstacle::HeldOpen},
    {"read-only", Obstacle::ReadOnly},
    {"a folder", Obstacle::Folder},
};

/// Puts the obstacle at `path`; for files, `oldContent` is what must survive.
std::unique_ptr<testing::HeldOpenFile> PlaceObstacle(Obstacle obstacle, const std::string& path,
                                                     const std::string& oldContent) {
  if (obstacle == Obstacle::Folder) {
    EXPECT_TRUE(CreateDirectoryW(W(path).c_str(), nullptr));
    return nullptr;
  }
  EXPECT_TRUE(testing::WriteBytes(path, oldContent));
  if (obstacle == Obstacle::ReadOnly) {
    SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_READONLY);
    return nullptr;
  }
  auto holder = std::make_unique<testing::HeldOpenFile>(path);
  EXPECT_TRUE(holder->held());
  return holder;
}

void RemoveObstacle(const std::string& path) {
  SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(W(path).c_str())) RemoveDirectoryW(W(path).c_str());
}

/// Runs `step` with the obstacle in place: a folder is the create error naming `destination`,
/// a file in use or read-only is kept as it was, without an error.
template <typename Step>
void ExpectObstacleOutcome(const ObstacleCase& c, const std::string& destination, Step step,
                           const std::string& oldContent) {
  auto holder = PlaceObstacle(c.obstacle, destination, oldContent);
  if (c.obstacle == Obstacle::Folder) {
    const std::string error = testing::InstallErrorText([&] { step(); });
    EXPECT_EQ(error.rfind("Cannot create file \"" + destination + "\". ", 0), 0u) << error;
    EXPECT_FALSE(Exists(PartialCopyName(destination)));
  } else {
    EXPECT_NO_THROW(step());
    holder.reset();
    EXPECT_EQ(ReadBytes(destination), oldContent);
  }
}

std::string WindowsFolder(const char* sub) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  return WideToUtf8(windows) + "\\" + sub + "\\";
}

TEST_F(Win32StepsTest, SystemFileThatCannotBeReplacedIsKept) {
  const std::string name = unique + "-kept.dll";
  const std::string destination = WindowsFolder("System32") + name;
  CreateDirectoryW(W(root + "\\System").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(root + "\\System\\" + name, "the medium's newer version"));
  for (const ObstacleCase& c : kObstacles) {
    SCOPED_TRACE(c.what);
    ExpectObstacleOutcome(c, destination, [&] { InstallSystemFiles(session); },
                          "the version in use");
    RemoveObstacle(destination);
  }
}

TEST_F(Win32StepsTest, FontThatIsAlreadyThereIsKeptAndEnteredAgain) {
  const std::string name = unique + "-kept.ttf";
  const std::string destination = WindowsFolder("Fonts") + name;
  CreateDirectoryW(W(root + "\\Fonts").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(root + "\\Fonts\\" + name, "the medium's font"));
  for (const ObstacleCase& c : kObstacles) {
    SCOPED_TRACE(c.what);
    for (const char* key : {kFontsKey, kFontsKeyNt}) {
      SHDeleteValueW(HKEY_LOCAL_MACHINE, W(key).c_str(), W(name).c_str());
    }
    ExpectObstacleOutcome(c, destination, [&] { InstallFonts(session); }, "the font in use");
    // The values are written before the copy is tried, in every case.
    for (const char* key : {kFontsKey, kFontsKeyNt}) {
      EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, W(key), W(name)).data, WithNul(W(destination)))
          << key;
      SHDeleteValueW(HKEY_LOCAL_MACHINE, W(key).c_str(), W(name).c_str());
    }
    RemoveObstacle(destination);
  }
}

TEST_F(Win32StepsTest, ShortcutsAndUninstallEntryReadBack) {
  session.InstallDir = root + "\\Telmorquistane";
  CreateShortcutsAndUninstallEntry(session);

  const std::wstring uninstallKey = W(std::string(kUninstallKeyPrefix) + "Telmorquistane");
  const std::wstring dir = W(session.InstallDir);
  const struct {
    const wchar_t* name;
    std::wstring data;
  } expected[] = {
      {L"UninstallString", dir + L"\\Uninstall.exe"},
      {L"MainProgram", dir + L"\\Telmorquistane.exe"},
      {L"DisplayName", L"Telmorquistane"},
      {L"Publisher", L"Gradellovanthe Organization"},
      {L"Author", L"Quenbrastow"},
  };
  for (const auto& e : expected) {
    const StoredValue value = ReadValue(HKEY_LOCAL_MACHINE, uninstallKey, e.name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, WithNul(e.data));  // data size = length + 1 characters
  }

  // Both links exist where the Shell Folders values point and load back.
  const std::wstring folders =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  std::wstring desktop = ReadValue(HKEY_CURRENT_USER, folders, L"Desktop").data;
  std::wstring startMenu = ReadValue(HKEY_CURRENT_USER, folders, L"Start Menu").data;
  desktop.resize(wcslen(desktop.c_str()));
  startMenu.resize(wcslen(startMenu.c_str()));
  ASSERT_FALSE(desktop.empty());
  ASSERT_FALSE(startMenu.empty());
  const std::wstring links[] = {desktop + L"\\Telmorquistan.lnk",
                                startMenu + L"\\programs\\Rivenholt\\Telmorquistan.lnk"};
  for (const std::wstring& link : links) {
    IShellLinkW* shellLink = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&shellLink)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    EXPECT_EQ(file->Load(link.c_str(), STGM_READ), S_OK) << WideToUtf8(link);
    wchar_t target[MAX_PATH] = L"";
    wchar_t workDir[MAX_PATH] = L"";
    shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    shellLink->GetWorkingDirectory(workDir, MAX_PATH);
    EXPECT_EQ(std::wstring(target), dir + L"\\Telmorquistane.EXE");
    EXPECT_EQ(std::wstring(workDir), dir);
    file->Release();
    shellLink->Release();
    DeleteFileW(link.c_str());
  }
  RemoveDirectoryW((startMenu + L"\\programs\\Rivenholt").c_str());
  SHDeleteKeyW(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
}

TEST_F(Win32StepsTest, InstalledProductIsStartedAndNothingOnAFreshMachine) {
  const std::wstring uninstallKey = W(std::string(kUninstallKeyPrefix) + "Telmorquistane");
  SHDeleteKeyW(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
  // Fresh machine: nothing is started, the check returns.
  EXPECT_NO_THROW(DetectInstalledProduct(platform, 0));

  const std::string program = root + "\\App\\Telmorquistane.exe";
  CreateDirectoryW(W(root + "\\App").c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(W(testing::TestProgramFolder() + "\\marker_program.exe").c_str(),
                        W(program).c_str(), FALSE));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring data = W(program);
  RegSetValueExW(key, L"MainProgram", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);

  EXPECT_THROW(DetectInstalledProduct(platform, 0), ProcessEnded);
  // The program runs on its own; wait for its marker.
  std::string marker;
  for (int i = 0; i < 100; ++i, Sleep(100)) {
    marker = ReadBytes(program + ".started");
    if (marker != "<missing>" && !marker.empty()) break;
  }
  ASSERT_NE(marker, "<missing>");
  const std::wstring startedIn(reinterpret_cast<const wchar_t*>(marker.data()),
                               marker.size() / sizeof(wchar_t));
  EXPECT_EQ(startedIn, W(root + "\\App"));  // its own folder is the working directory
  SHDeleteKeyW(HKEY_LOCAL_MACHINE, uninstallKey.c_str());
}

}  // namespace
}  // namespace installer
