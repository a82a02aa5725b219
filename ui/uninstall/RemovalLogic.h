// What the uninstaller decides without a window: its command line, its exit code and the
// Persian report of its last page, so native tests reach them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Uninstall.h"

namespace installer {

// The uninstaller's exit codes, for administrators' scripts (/S).
inline constexpr int kExitRemoved = 0;      ///< everything installed is gone
inline constexpr int kExitNothingDone = 1;  ///< declined, refused, or could not start
inline constexpr int kExitKeptInUse = 2;    ///< stopped at a file in use; the entry stays
inline constexpr int kExitFailed = 3;       ///< stopped at something that could not go

/// The command line. Started by Windows: `Uninstall.exe [/S]`. The copy it continues from:
/// `copy.exe /continue PARENT PIPE [/S] "X:\folder\Uninstall.exe"`, with the handle values
/// (decimal) of the first program's process and of the pipe the copy answers through.
struct RemovalArguments {
  bool valid = true;        ///< false: something unknown on the line
  bool silent = false;      ///< /S: no window, no question
  bool continued = false;   ///< running from the copy
  uint64_t parentProcess = 0;
  uint64_t resultPipe = 0;
  std::string program;      ///< the installed uninstaller (continued only)
};

/// `arguments` without the program's own name. Options without regard to case, "-" or "/".
RemovalArguments ParseRemovalArguments(const std::vector<std::string>& arguments);

/// The command line of the copy (after its quoted name), quoting the program's path.
std::string ContinueArguments(uint64_t parentProcess, uint64_t resultPipe, bool silent,
                              const std::string& program);

int RemovalExitCode(RemovalOutcome outcome);

/// How many times /S tries again a file in use (a second apart) before it stops.
inline constexpr int kSilentInUseRetries = 5;

/// One line of the last page or a message: a Persian sentence reads right to left; a path or
/// a system message without a right-to-left letter is drawn left to right.
struct ReportLine {
  std::string text;
  bool rightToLeft = true;
};

struct RemovalReport {
  std::string heading;
  std::vector<ReportLine> lines;  ///< at most the page's room; the last says what did not fit
};

/// The width in pixels a line's text takes on the page.
using TextWidth = std::function<int(const std::string&)>;

/// Breaks a sentence at blanks into lines no wider than `maxWidth` (a word wider than that
/// takes a line of its own). Without a measure, the text is one line.
std::vector<std::string> WrapText(const std::string& text, int maxWidth, const TextWidth& width);

/// The last page's report on `result` for the product titled `title`. `systemReason` is the
/// system's text for result.errorCode (Failed). `maxLines` is the page's room (at least 4);
/// sentences are wrapped to `maxWidth` as `width` measures them. Every kept folder is named
/// with what is in it, or the last line says how many more there are.
RemovalReport MakeRemovalReport(const RemovalResult& result, const std::string& title,
                                const std::string& systemReason, size_t maxLines,
                                const TextWidth& width = nullptr, int maxWidth = 0);

/// The question asked when an installed file is in use (Retry and Cancel).
std::string FileInUseQuestion(const std::string& path);

/// The message shown, before anything is removed, when the installation folder may not be
/// removed at all (a forged or damaged entry).
std::string RefusedMessage(const std::string& installDir, const std::string& reason);

/// The digits 0-9 of `text` as Persian digits.
std::string PersianDigits(const std::string& text);

}  // namespace installer
