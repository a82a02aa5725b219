// The uninstaller's command line, exit codes and last-page report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/uninstall/RemovalLogic.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;

TEST(RemovalLogicTest, CommandLines) {
  struct Case {
    Strings arguments;
    bool valid, silent, continued;
    uint64_t parent, pipe;
    std::string program;
  };
  const std::string program = "C:\\Program Files\\تلمرکیستان\\Uninstall.EXE";
  const Case cases[] = {
      {{}, true, false, false, 0, 0, ""},
      {{"/S"}, true, true, false, 0, 0, ""},
      {{"-s"}, true, true, false, 0, 0, ""},
      {{"/continue", "124", "4294967296", program}, true, false, true, 124, 4294967296u, program},
      {{"/CONTINUE", "8", "12", "/S", program}, true, true, true, 8, 12, program},
      {{"/S", "/continue", "8", "12", program}, true, true, true, 8, 12, program},
      // Anything unknown, a handle that is no number, a missing program or a second one.
      {{"/X"}, false, false, false, 0, 0, ""},
      {{"C:\\Windows"}, false, false, false, 0, 0, ""},
      {{"/continue", "8", "12"}, false, false, true, 8, 12, ""},
      {{"/continue", "8x", "12", program}, false, false, false, 0, 12, ""},
      {{"/continue", "", "12", program}, false, false, false, 0, 0, ""},
      {{"/continue", "-8", "12", program}, false, false, false, 0, 0, ""},
      {{"/continue", "8", "12", program, program}, false, false, true, 8, 12, program},
      {{"/continue", "8"}, false, false, false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.arguments) line += "[" + a + "]";
    SCOPED_TRACE(line);
    const RemovalArguments parsed = ParseRemovalArguments(c.arguments);
    EXPECT_EQ(parsed.valid, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(parsed.silent, c.silent);
    EXPECT_EQ(parsed.continued, c.continued);
    EXPECT_EQ(parsed.parentProcess, c.parent);
    EXPECT_EQ(parsed.resultPipe, c.pipe);
    EXPECT_EQ(parsed.program, c.program);
  }
}

// The copy's line, split as CommandLineToArgvW does for a quoted path without quotes in it,
// reads back as what the first program meant.
TEST(RemovalLogicTest, ContinueLineReadsBack) {
  for (const bool silent : {false, true}) {
    const std::string program = "D:\\بازی‌ها\\Telmorquistane\\Uninstall.EXE";
    const std::string line = ContinueArguments(1234, 5678, silent, program);
    Strings split;
    std::string current;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == ' ' && !quoted) {
        if (!current.empty()) split.push_back(current);
        current.clear();
      } else {
        current += c;
      }
    }
    if (!current.empty()) split.push_back(current);
    const RemovalArguments parsed = ParseRemovalArguments(split);
    EXPECT_TRUE(parsed.valid && parsed.continued) << line;
    EXPECT_EQ(parsed.silent, silent);
    EXPECT_EQ(parsed.parentProcess, 1234u);
    EXPECT_EQ(parsed.resultPipe, 5678u);
    EXPECT_EQ(parsed.program, program);
  }
}

TEST(RemovalLogicTest, ExitCodesAreDistinctAndZeroOnlyWhenAllIsGone) {
  EXPECT_EQ(RemovalExitCode(RemovalOutcome::Complete), 0);
  EXPECT_EQ(RemovalExitCode(RemovalOutcome::Refused), kExitNothingDone);
  EXPECT_EQ(RemovalExitCode(RemovalOutcome::KeptInUse), kExitKeptInUse);
  EXPECT_EQ(RemovalExitCode(RemovalOutcome::Failed), kExitFailed);
  EXPECT_NE(kExitNothingDone, kExitKeptInUse);
  EXPECT_NE(kExitKeptInUse, kExitFailed);
  EXPECT_NE(kExitNothingDone, kExitFailed);
}

std::string Joined(const RemovalReport& report) {
  std::string text = report.heading + "\n";
  for (const ReportLine& line : report.lines) {
    text += (line.rightToLeft ? "R " : "L ") + line.text + "\n";
  }
  return text;
}

RemovalResult WithKept(size_t folders) {
  RemovalResult result;
  result.listFound = true;
  for (size_t i = 0; i < folders; ++i) {
    result.kept.push_back({"C:\\Telmorquistane\\Sub" + std::to_string(i), {"نامه.txt", "b"}});
  }
  return result;
}

// What the last page says for each way a removal ends: every kept folder by path (left to
// right) with what is in it, the shared parts kept, the entry's fate, never more lines than
// the page has and never a folder silently left out.
TEST(RemovalLogicTest, ReportsEveryEnding) {
  const std::string title = "تلمرکیستان";
  {
    const RemovalReport r = MakeRemovalReport(WithKept(0), title, "", 12);
    EXPECT_EQ(r.heading, "«تلمرکیستان» حذف شد.");
    ASSERT_EQ(r.lines.size(), 2u) << Joined(r);
    EXPECT_NE(r.lines[0].text.find("حذف شدند"), std::string::npos);
    EXPECT_NE(r.lines[1].text.find("قلم‌ها"), std::string::npos);
  }
  {
    RemovalResult result = WithKept(2);
    result.kept[1].names = {};
    const RemovalReport r = MakeRemovalReport(result, title, "", 12);
    ASSERT_EQ(r.lines.size(), 6u) << Joined(r);
    EXPECT_EQ(r.lines[1].text, "C:\\Telmorquistane\\Sub0");
    EXPECT_FALSE(r.lines[1].rightToLeft);
    EXPECT_EQ(r.lines[2].text, "    نامه.txt، b");
    EXPECT_EQ(r.lines[4].text, "    ");
    EXPECT_TRUE(r.lines[5].rightToLeft);
  }
  for (size_t maxLines : {4u, 5u, 8u, 12u}) {
    for (size_t folders : {1u, 4u, 5u, 30u}) {
      SCOPED_TRACE(std::to_string(maxLines) + " lines, " + std::to_string(folders) + " folders");
      const RemovalReport r = MakeRemovalReport(WithKept(folders), title, "", maxLines);
      EXPECT_LE(r.lines.size(), maxLines) << Joined(r);
      size_t paths = 0;
      for (const ReportLine& line : r.lines) paths += line.text.rfind("C:\\", 0) == 0;
      if (paths < folders) {
        const std::string more = "و " + PersianDigits(std::to_string(folders - paths)) + " پوشه دیگر.";
        bool said = false;
        for (const ReportLine& line : r.lines) said |= line.text == more;
        EXPECT_TRUE(said) << Joined(r);
      }
      EXPECT_NE(r.lines.back().text.find("قلم‌ها"), std::string::npos) << Joined(r);
    }
  }
  {
    RemovalResult result = WithKept(1);
    result.listFound = false;
    result.entryKept = true;
    const std::string text = Joined(MakeRemovalReport(result, title, "", 12));
    EXPECT_NE(text.find("فهرست پرونده‌های نصب‌شده پیدا نشد"), std::string::npos) << text;
    EXPECT_NE(text.find("ثبت برنامه در ویندوز باقی ماند"), std::string::npos) << text;
  }
  {
    RemovalResult result;
    result.outcome = RemovalOutcome::KeptInUse;
    result.failedPath = "C:\\Telmorquistane\\Telmorquistane.EXE";
    const RemovalReport r = MakeRemovalReport(result, title, "", 12);
    EXPECT_EQ(r.heading, "حذف «تلمرکیستان» کامل نشد.");
    EXPECT_EQ(Joined(r), r.heading + "\nR این پرونده در حال استفاده بود و حذف نشد:\n"
                          "L C:\\Telmorquistane\\Telmorquistane.EXE\n"
                          "R برنامه‌ای را که از آن استفاده می‌کند ببندید و حذف را دوباره اجرا کنید.\n"
                          "R ثبت برنامه باقی ماند تا بتوانید حذف را از «برنامه‌ها و ویژگی‌ها» دوباره اجرا کنید.\n");
  }
  {
    RemovalResult result;
    result.outcome = RemovalOutcome::Failed;
    result.failedPath = "C:\\Telmorquistane\\Docs";
    // A system message in English reads left to right; one in Persian right to left.
    for (const auto& [reason, rtl] : {std::pair<std::string, bool>{"Access is denied.", false},
                                      {"دسترسی رد شد.", true}}) {
      const RemovalReport r = MakeRemovalReport(result, title, reason, 12);
      ASSERT_EQ(r.lines.size(), 4u);
      EXPECT_EQ(r.lines[1].text, result.failedPath);
      EXPECT_EQ(r.lines[2].text, reason);
      EXPECT_EQ(r.lines[2].rightToLeft, rtl);
    }
  }
}

TEST(RemovalLogicTest, LongNamesAreShortenedWholeCharacters) {
  RemovalResult result = WithKept(1);
  result.kept[0].names = {std::string(40, 'a'), "ییییییییییییییییییییییییییییییییییییییییی"};
  const RemovalReport r = MakeRemovalReport(result, "T", "", 12);
  const std::string& names = r.lines[2].text;
  EXPECT_EQ(names.substr(names.size() - 3), "…");
  // "    " + 70 characters + "…": the cut falls between two whole letters.
  // A list that starts with a Latin name reads left to right, with ", " between names.
  EXPECT_FALSE(r.lines[2].rightToLeft);
  const std::string persian = names.substr(4 + 40 + 2);
  EXPECT_EQ((persian.size() - 3) % 2, 0u) << names;
}

// Sentences wrap at blanks to the box's width, words whole and in order; a path never wraps;
// the page's room holds however narrow the box.
TEST(RemovalLogicTest, SentencesWrapToTheBox) {
  const TextWidth bytes = [](const std::string& text) { return static_cast<int>(text.size()); };
  EXPECT_EQ(WrapText("aa bb cc", 5, bytes), (std::vector<std::string>{"aa bb", "cc"}));
  EXPECT_EQ(WrapText("aaaaaaa bb", 5, bytes), (std::vector<std::string>{"aaaaaaa", "bb"}));
  EXPECT_EQ(WrapText("aa bb", 5, nullptr), (std::vector<std::string>{"aa bb"}));
  EXPECT_EQ(WrapText("", 5, bytes), (std::vector<std::string>{""}));
  for (const int maxWidth : {40, 60, 100, 160}) {
    RemovalResult result = WithKept(3);
    result.kept[0].folder = "C:\\" + std::string(300, 'p');
    result.listFound = false;
    const RemovalReport r = MakeRemovalReport(result, "T", "", 12, bytes, maxWidth);
    SCOPED_TRACE(Joined(r));
    EXPECT_LE(r.lines.size(), 12u);
    for (const ReportLine& line : r.lines) {
      if (line.text.rfind("C:\\", 0) == 0) continue;
      if (line.rightToLeft && line.text.rfind("    ", 0) != 0) {
        EXPECT_LE(static_cast<int>(line.text.size()), maxWidth);
      }
    }
    // The last sentence is there whole, over however many lines it took.
    std::string last;
    for (size_t i = 0; i < r.lines.size(); ++i) {
      if (r.lines[i].text.find("قلم‌ها") == 0) {
        for (size_t j = i; j < r.lines.size(); ++j) last += (j > i ? " " : "") + r.lines[j].text;
      }
    }
    EXPECT_EQ(last, "قلم‌ها و اجزای سیستمی باقی ماندند، چون برنامه‌های دیگر هم از آن‌ها استفاده می‌کنند.");
  }
}

}  // namespace
}  // namespace installer
