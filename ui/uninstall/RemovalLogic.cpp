#include "ui/uninstall/RemovalLogic.h"

#include <algorithm>
#include <charconv>

#include "engine/platform/Unicode.h"

namespace installer {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool IsOption(const std::string& argument, const char* name) {
  return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
         Lower(argument.substr(1)) == name;
}

bool ParseHandle(const std::string& text, uint64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The Persian texts of the uninstaller's last page and questions.
constexpr const char* kRemovedHeading = "«%» حذف شد.";
constexpr const char* kNotFinishedHeading = "حذف «%» کامل نشد.";
constexpr const char* kEverythingGone =
    "پرونده‌های برنامه، میانبرهای آن و ثبت آن در ویندوز حذف شدند.";
constexpr const char* kKeptFoldersIntro =
    "این پوشه‌ها باقی ماندند، چون چیزهایی در آن‌ها هست که برنامه نصب نگذاشته بود:";
constexpr const char* kNoList =
    "فهرست پرونده‌های نصب‌شده پیدا نشد؛ فقط برنامه‌ها، میانبرها و پوشه‌های خالی حذف شدند.";
constexpr const char* kSharedKept =
    "قلم‌ها و اجزای سیستمی باقی ماندند، چون برنامه‌های دیگر هم از آن‌ها استفاده می‌کنند.";
constexpr const char* kEntryKept =
    "ثبت برنامه در ویندوز باقی ماند، چون به نصب دیگری از آن در پوشه‌ای دیگر اشاره می‌کند.";
constexpr const char* kInUseLine = "این پرونده در حال استفاده بود و حذف نشد:";
constexpr const char* kCloseAndRunAgain =
    "برنامه‌ای را که از آن استفاده می‌کند ببندید و حذف را دوباره اجرا کنید.";
constexpr const char* kFailedLine = "این مورد حذف نشد:";
constexpr const char* kEntryStays =
    "ثبت برنامه باقی ماند تا بتوانید حذف را از «برنامه‌ها و ویژگی‌ها» دوباره اجرا کنید.";
constexpr const char* kMoreFolders = "و % پوشه دیگر.";
constexpr const char* kListSeparator = "، ";

std::string Fill(const char* pattern, const std::string& value) {
  std::string text = pattern;
  const size_t at = text.find('%');
  return at == std::string::npos ? text : text.replace(at, 1, value);
}

ReportLine Sentence(const std::string& text) { return {text, true}; }
// A path or a system message: right to left only when its own language reads so.
ReportLine Quoted(const std::string& text) { return {text, ReadsRightToLeft(text)}; }

// At most `limit` characters (whole UTF-8 sequences), "…" at the end of a cut text.
std::string Shortened(const std::string& text, size_t limit) {
  size_t pos = 0, count = 0;
  char32_t c = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    NextCodePoint(text, pos, c);
    if (++count > limit) return text.substr(0, start) + "…";
  }
  return text;
}

}  // namespace

RemovalArguments ParseRemovalArguments(const std::vector<std::string>& arguments) {
  RemovalArguments parsed;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (IsOption(argument, "s")) {
      parsed.silent = true;
    } else if (IsOption(argument, "continue") && i + 2 < arguments.size() && !parsed.continued) {
      parsed.continued = ParseHandle(arguments[i + 1], parsed.parentProcess) &&
                         ParseHandle(arguments[i + 2], parsed.resultPipe);
      if (!parsed.continued) parsed.valid = false;
      i += 2;
    } else if (parsed.continued && parsed.program.empty() && !argument.empty() &&
               argument[0] != '/' && argument[0] != '-') {
      parsed.program = argument;
    } else {
      parsed.valid = false;
    }
  }
  if (parsed.continued && parsed.program.empty()) parsed.valid = false;
  return parsed;
}

std::string ContinueArguments(uint64_t parentProcess, uint64_t resultPipe, bool silent,
                              const std::string& program) {
  return "/continue " + std::to_string(parentProcess) + " " + std::to_string(resultPipe) +
         (silent ? " /S" : "") + " \"" + program + "\"";
}

int RemovalExitCode(RemovalOutcome outcome) {
  switch (outcome) {
    case RemovalOutcome::Complete:
      return kExitRemoved;
    case RemovalOutcome::KeptInUse:
      return kExitKeptInUse;
    case RemovalOutcome::Failed:
      return kExitFailed;
    case RemovalOutcome::Refused:
      break;
  }
  return kExitNothingDone;
}

std::vector<std::string> WrapText(const std::string& text, int maxWidth, const TextWidth& width) {
  if (!width || width(text) <= maxWidth) return {text};
  std::vector<std::string> lines;
  std::string line;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(' ', pos);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(pos, end - pos);
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && width(longer) > maxWidth) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
    pos = end + 1;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

RemovalReport MakeRemovalReport(const RemovalResult& result, const std::string& title,
                                const std::string& systemReason, size_t maxLines,
                                const TextWidth& width, int maxWidth) {
  maxLines = std::max<size_t>(maxLines, 4);
  // Sentences wrap; a path or a list of names stays one line (clipped at the box's edge).
  auto add = [&](std::vector<ReportLine>& lines, const ReportLine& line, bool wrap) {
    if (!wrap) {
      lines.push_back(line);
      return;
    }
    for (const std::string& part : WrapText(line.text, maxWidth, width)) {
      lines.push_back({part, line.rightToLeft});
    }
  };
  RemovalReport report;
  std::vector<ReportLine>& lines = report.lines;
  if (result.outcome == RemovalOutcome::KeptInUse || result.outcome == RemovalOutcome::Failed ||
      result.outcome == RemovalOutcome::Refused) {
    report.heading = Fill(kNotFinishedHeading, title);
    if (result.outcome == RemovalOutcome::KeptInUse) {
      add(lines, Sentence(kInUseLine), true);
      add(lines, Quoted(result.failedPath), false);
      add(lines, Sentence(kCloseAndRunAgain), true);
    } else {
      add(lines, Sentence(kFailedLine), true);
      add(lines, Quoted(result.failedPath.empty() ? result.message : result.failedPath), false);
      if (!systemReason.empty()) add(lines, Quoted(systemReason), true);
    }
    add(lines, Sentence(kEntryStays), true);
    if (lines.size() > maxLines) lines.resize(maxLines);
    return report;
  }

  report.heading = Fill(kRemovedHeading, title);
  std::vector<ReportLine> tail;
  if (!result.listFound) add(tail, Sentence(kNoList), true);
  if (result.entryKept) add(tail, Sentence(kEntryKept), true);
  add(tail, Sentence(kSharedKept), true);
  if (result.kept.empty()) {
    add(lines, Sentence(kEverythingGone), true);
  } else {
    add(lines, Sentence(kKeptFoldersIntro), true);
    // Each kept folder takes two lines, its path and what is in it (names in their own
    // reading order, separated as that order separates them); when they do not all fit, the
    // last line of the room says how many more there are.
    const size_t room = maxLines - std::min(maxLines, lines.size() + tail.size());
    const size_t fit = result.kept.size() * 2 <= room ? result.kept.size()
                                                      : (room > 0 ? (room - 1) / 2 : 0);
    for (size_t shown = 0; shown < fit; ++shown) {
      const KeptFolder& folder = result.kept[shown];
      add(lines, Quoted(folder.folder), false);
      const bool rtl = !folder.names.empty() && ReadsRightToLeft(folder.names.front());
      std::string names;
      for (const std::string& name : folder.names) {
        names += (names.empty() ? "" : rtl ? kListSeparator : ", ") + name;
      }
      add(lines, {"    " + Shortened(names, 70), rtl}, false);
    }
    if (fit < result.kept.size()) {
      add(lines,
          Sentence(Fill(kMoreFolders, PersianDigits(std::to_string(result.kept.size() - fit)))),
          false);
    }
  }
  // Short of room, the closing sentences stay whole and what comes before them gives way.
  if (lines.size() + tail.size() > maxLines) {
    lines.resize(maxLines - std::min(maxLines, tail.size()));
  }
  lines.insert(lines.end(), tail.begin(), tail.end());
  if (lines.size() > maxLines) lines.resize(maxLines);
  return report;
}

std::string FileInUseQuestion(const std::string& path) {
  return std::string("این پرونده در حال استفاده است و حذف نمی‌شود:\n") + path +
         "\n\nبرنامه‌ای را که از آن استفاده می‌کند ببندید و دوباره تلاش کنید؛ "
         "اگر حذف را لغو کنید، ثبت برنامه باقی می‌ماند تا بعداً دوباره اجرا شود.";
}

std::string RefusedMessage(const std::string& installDir, const std::string& reason) {
  return std::string("این پوشه پوشه نصب برنامه نیست و حذف نمی‌شود؛ چیزی حذف نشد:\n") +
         installDir + "\n\n" + reason;
}

std::string PersianDigits(const std::string& text) {
  static const char* const digits[] = {"۰", "۱", "۲", "۳", "۴", "۵", "۶", "۷", "۸", "۹"};
  std::string out;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      out += digits[c - '0'];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace installer
