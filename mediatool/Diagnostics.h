// What the vendor tool reports about a medium besides its plan: warnings (the medium works,
// but not as its maker probably meant) and errors (bad input, or a medium that stops).
#pragma once

#include <string>
#include <vector>

namespace mediatool {

enum class Severity { Warning, Error };

struct Diagnostic {
  Severity severity;
  std::string kind;  ///< stable key for scripts, e.g. "empty-file"
  std::string file;  ///< the file or folder it concerns, relative to the medium's root
  std::string message;
};

class Diagnostics {
 public:
  void Warn(std::string kind, std::string file, std::string message) {
    items.push_back({Severity::Warning, std::move(kind), std::move(file), std::move(message)});
  }
  void Error(std::string kind, std::string file, std::string message) {
    items.push_back({Severity::Error, std::move(kind), std::move(file), std::move(message)});
  }
  bool HasErrors() const {
    for (const Diagnostic& d : items) {
      if (d.severity == Severity::Error) return true;
    }
    return false;
  }
  /// 0 when clean, 1 with warnings only, 2 with an error.
  int ExitStatus() const { return HasErrors() ? 2 : (items.empty() ? 0 : 1); }

  std::vector<Diagnostic> items;
};

}  // namespace mediatool
