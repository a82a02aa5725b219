// The commands; each takes its arguments after the command name and returns the exit
// status.
#pragma once

#include <string>
#include <vector>

#include "engine/InstallSession.h"

namespace mediatool {

int RunCheckCommand(const std::vector<std::string>& args);
int RunBuildCommand(const std::vector<std::string>& args);
int RunImageCommand(const std::vector<std::string>& args);
int RunUninstallListCommand(const std::vector<std::string>& args);

/// Splits "--name=value" and "--name value"; returns false (with a message on stderr) for an
/// option that lacks its value.
struct Options {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> named;  ///< in order, "" for flags
  bool Has(const std::string& name) const;
  std::string Get(const std::string& name, const std::string& fallback = "") const;
};
/// Reads the product file at `path` into `identity`; false (each problem on stderr) when it
/// has problems.
bool ReadIdentity(const std::string& command, const std::string& path, installer::ProductIdentity& identity);

bool ParseOptions(const std::string& command, const std::vector<std::string>& args,
                  const std::vector<std::string>& withValue, const std::vector<std::string>& flags,
                  Options& options);

}  // namespace mediatool
