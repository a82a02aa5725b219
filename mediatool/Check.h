// The check of a medium: the installer's own engine runs over an in-memory copy of it, and
// what that run leaves on the in-memory machine is the plan. The warnings come from reading
// the medium the way the installer's rules will.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/InstallSession.h"
#include "mediatool/Diagnostics.h"
#include "mediatool/MediumTree.h"
#include "mediatool/Signature.h"

namespace mediatool {

struct CheckOptions {
  std::string medium;
  installer::ProductIdentity product = installer::BuiltInProduct();  ///< the names setup.exe was built with
  Target target = Target::Cd;
  std::string installDir;  ///< "" = the installer's default (drive of Windows + ProductFolder)
  std::string windowsDir = "C:\\windows";
  std::string desktop = "C:\\users\\user\\Desktop";
  std::string startMenu = "C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  int64_t freeBytes = -1;  ///< free bytes of the target drive; -1 = plenty
  std::string image;       ///< a disc image of the medium (made by any tool) to read the layout of
};

struct PlanFile {
  std::string path;  ///< relative to its folder
  bool folder = false;
  int64_t size = 0;
};

struct PlanValue {
  std::string key;
  std::string name;
  std::string data;
};

struct PlanLink {
  std::string path, target, workingDirectory;
};

struct PlanSignature {
  std::string file;  ///< relative to the medium's root
  SignatureInfo signature;
};

struct Plan {
  std::string setupMachine;  ///< processor of the medium's setup.exe
  std::vector<PlanSignature> signatures;  ///< setup.exe, the main program, the uninstaller: those present
  bool completed = false;
  std::string stoppedBy;     ///< the message the installer stops with, when it stops
  std::string installDir;
  std::vector<PlanFile> installed;  ///< everything under installDir afterwards
  int64_t totalSize = 0;
  int32_t progressMaximum = 0;
  int64_t freeBytes = 0;
  std::string systemDir;
  std::vector<PlanFile> systemFiles;
  std::vector<std::string> registered;  ///< full paths whose DllRegisterServer is called
  std::string fontsDir;
  std::vector<PlanFile> fontFiles;
  std::vector<PlanValue> fontValues;
  bool hasInstallCfg = false;
  std::vector<std::string> installCfg;  ///< its lines, decoded from code page 1256
  std::vector<PlanLink> shortcuts;
  std::string uninstallKey;
  std::vector<PlanValue> uninstallValues;
  std::vector<std::string> otherFiles;  ///< anything else the run wrote (full paths)
  /// How the installer reads the disc image (CheckOptions::image): contiguous runs, and the
  /// accesses between them; runs is -1 without an image.
  int discRuns = -1;
  int discJumps = 0;
  int discBackward = 0;
  int discFiles = 0;  ///< files with data in the reading order
};

struct CheckResult {
  CheckOptions options;
  Plan plan;
  Diagnostics diagnostics;
};

CheckResult CheckMedium(const CheckOptions& options);
/// The same over a tree already read (or put together in memory by the build); files named by
/// diskPath are read where the check needs their bytes.
CheckResult CheckMediumTree(const CheckOptions& options, const Entry& root);

/// The product folder's list of what the installation leaves under InstallDir.
inline constexpr const char* kUninstallListName = "uninstall.lst";
/// The list's lines for a plan: its installed files and the list itself, in byte order.
std::vector<std::string> UninstallListLines(const Plan& plan);

/// The plan and the warnings as the terminal shows them.
std::string FormatText(const CheckResult& result);
/// The same as one JSON object.
std::string FormatJson(const CheckResult& result);

const char* TargetName(Target target);

}  // namespace mediatool
