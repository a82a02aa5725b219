// The check over media laid out on disk, one row per rule a medium can break, and the build
// and image commands judged by that same check and by reading the image back.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mediatool/Check.h"
#include "mediatool/Commands.h"
#include "mediatool/DiscLayout.h"
#include "mediatool/Iso9660.h"
#include "mediatool/ListFile.h"
#include "mediatool/PeFile.h"
#include "tests/mediatool/MediaToolTestSupport.h"

namespace mediatool {
namespace {

using testing::ScratchFolder;
using Strings = std::vector<std::string>;
using Finding = std::pair<std::string, std::string>;  // kind, file

// A medium with nothing to warn about: the i686 installer, autorun.inf, both staged programs.
void CompleteMedium(const ScratchFolder& medium, const std::string& under = "") {
  medium.Write(under + "setup.exe", testing::MakePe(kMachineI386, {}));
  medium.Write(under + "autorun.inf", "[autorun]\r\nopen=setup.exe\r\n");
  medium.Write(under + "CAB/Telmorquistane.DAT", testing::MakePe(kMachineI386, {}));
  medium.Write(under + "CAB/uninstall.DAT", testing::MakePe(kMachineI386, {}));
  medium.Write(under + "CAB/readme.txt", "readme");
}

std::vector<Finding> Findings(const CheckResult& result) {
  std::vector<Finding> findings;
  for (const Diagnostic& d : result.diagnostics.items) findings.emplace_back(d.kind, d.file);
  return findings;
}

bool Installed(const Plan& plan, const std::string& path) {
  return std::any_of(plan.installed.begin(), plan.installed.end(),
                     [&](const PlanFile& f) { return f.path == path; });
}

// What `mediatool uninstall-list` writes; quiet, and nothing where the medium has no CAB.
void WriteUninstallList(const std::string& medium, Target target = Target::Cd) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  RunUninstallListCommand({medium, "--target", target == Target::Cd ? "cd" : "ntfs"});
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// Every path below `folder` with its size and modification time.
std::vector<std::string> Snapshot(const std::string& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder, error)) {
    const auto time = std::filesystem::last_write_time(e.path()).time_since_epoch().count();
    entries.push_back(e.path().string() + " " + (e.is_regular_file() ? std::to_string(e.file_size()) : "dir") +
                      " " + std::to_string(time));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

struct CheckCase {
  const char* what;
  std::function<void(const ScratchFolder&)> layout;  // after CompleteMedium
  std::vector<Finding> expected;                     // exactly these findings
  int exitStatus;
  std::function<void(CheckOptions&)> options = [](CheckOptions&) {};
  std::function<void(const Plan&)> plan = [](const Plan&) {};
};

TEST(CheckTest, EachRuleOfTheMediumGivesItsFinding) {
  const std::string name64 = Repeat('a', 60) + ".txt", name65 = Repeat('b', 61) + ".txt";
  const std::string name103 = Repeat('c', 99) + ".txt", name104 = Repeat('d', 100) + ".txt";
  // C:\Telmorquistane\ is 18 characters; a path of 259 characters is the longest Explorer opens.
  const std::string folder = Repeat('p', 60) + "\\" + Repeat('q', 60) + "\\" + Repeat('r', 60);
  const std::string fits = folder + "\\" + Repeat('s', 259 - 18 - folder.size() - 5) + ".txt";
  const std::string tooLong = folder + "\\" + Repeat('t', 260 - 18 - folder.size() - 5) + ".txt";
  auto unix = [](std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  };
  const std::vector<CheckCase> cases = {
      {"a complete medium", [](const ScratchFolder&) {}, {}, 0, [](CheckOptions&) {},
       [](const Plan& plan) {
         EXPECT_TRUE(plan.completed);
         EXPECT_TRUE(Installed(plan, "Telmorquistane.EXE"));
         EXPECT_TRUE(Installed(plan, "Uninstall.EXE"));
         EXPECT_TRUE(Installed(plan, "INSTALL.CFG"));
         EXPECT_EQ(plan.installCfg.size(), 6u);
         EXPECT_EQ(plan.shortcuts.size(), 2u);
         EXPECT_EQ(plan.uninstallValues.size(), 5u);
         EXPECT_TRUE(plan.otherFiles.empty());
       }},
      {"an empty file", [](const ScratchFolder& m) { m.Write("CAB/empty.txt", ""); },
       {{"empty-file", "CAB\\empty.txt"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) { EXPECT_FALSE(Installed(plan, "empty.txt")); }},
      {"a name Windows cannot hold", [](const ScratchFolder& m) { m.Write("CAB/what?.txt", "x"); },
       {{"bad-name", "CAB\\what?.txt"}}, 2},
      {"names at Joliet's two limits",
       [&](const ScratchFolder& m) {
         for (const std::string* n : {&name64, &name65, &name103, &name104}) m.Write("CAB/" + *n, "x");
       },
       {{"long-name", "CAB\\" + name65}, {"long-name", "CAB\\" + name103}, {"name-too-long", "CAB\\" + name104}},
       2},
      {"paths at Explorer's limit",
       [&](const ScratchFolder& m) {
         m.Write("CAB/" + unix(fits), "x");
         m.Write("CAB/" + unix(tooLong), "x");
       },
       {{"long-path", "CAB\\" + tooLong}}, 1},
      {"a list spelled font.txt",
       [](const ScratchFolder& m) {
         m.Write("Fonts/a.ttf", testing::ReadAll(testing::kSansFont));
         m.Write("Fonts/font.txt", "a.ttf\r\nDejaVu Sans (TrueType)\r\n");
       },
       // font 2 is the list itself, and has no pair of its own
       {{"font-list-name", "Fonts\\font.txt"}, {"font-pair", "Fonts\\font.txt"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) { EXPECT_EQ(plan.fontFiles.size(), 2u); }},
      {"more than 20 pairs",
       [](const ScratchFolder& m) {
         m.Write("Fonts/a.ttf", testing::ReadAll(testing::kSansFont));
         std::string list = "a.ttf\r\nDejaVu Sans (TrueType)\r\n";
         for (int i = 0; i < 20; ++i) list += "x.ttf\r\nX (TrueType)\r\n";
         m.Write("Fonts/FONT.TXT", list);
       },
       {{"too-many-fonts", "Fonts\\FONT.TXT"}, {"font-pair", "Fonts\\FONT.TXT"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) { EXPECT_EQ(plan.fontValues.size(), 2u); }},
      {"fonts without FONT.TXT",
       [](const ScratchFolder& m) { m.Write("Fonts/a.ttf", testing::ReadAll(testing::kSansFont)); },
       {{"no-font-list", "Fonts"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) {
         ASSERT_EQ(plan.fontValues.size(), 2u);
         EXPECT_EQ(plan.fontValues[0].name, "a.ttf");
         EXPECT_EQ(plan.fontValues[0].data, "C:\\windows\\Fonts\\a.ttf");
       }},
      {"a library without SYSTEM.TXT",
       [](const ScratchFolder& m) { m.Write("System/a.dll", testing::MakePe(kMachineI386, {"DllRegisterServer"})); },
       {{"not-listed", "System\\a.dll"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) { EXPECT_TRUE(plan.registered.empty()); }},
      {"an ARM64 library listed",
       [](const ScratchFolder& m) {
         m.Write("System/arm.dll", testing::MakePe(0xAA64, {"DllRegisterServer"}));
         m.Write("System/ok.dll", testing::MakePe(kMachineI386, {"DllRegisterServer"}));
         m.Write("System/SYSTEM.TXT", "arm.dll\r\nok.dll\r\n");
       },
       {{"component-machine", "System\\arm.dll"}, {"system-list", "System\\SYSTEM.TXT"}}, 1, [](CheckOptions&) {},
       [](const Plan& plan) { EXPECT_EQ(plan.registered, Strings{"C:\\windows\\System32\\ok.dll"}); }},
      {"no installer, autorun.inf or main program",
       [](const ScratchFolder& m) {
         std::filesystem::remove(m.Path("setup.exe"));
         std::filesystem::remove(m.Path("autorun.inf"));
         std::filesystem::remove(m.Path("CAB/Telmorquistane.DAT"));
       },
       {{"no-setup", "setup.exe"}, {"no-autorun", "autorun.inf"}, {"no-main-program", "CAB\\Telmorquistane.DAT"}},
       1},
      {"a setup.exe that is no program", [](const ScratchFolder& m) { m.Write("setup.exe", "text"); },
       {{"not-pe", "setup.exe"}}, 2},
      {"a target drive one byte too small", [](const ScratchFolder&) {}, {{"install-stops", ""}}, 2,
       [](CheckOptions& o) { o.freeBytes = 0; },
       [](const Plan& plan) {
         EXPECT_FALSE(plan.completed);
         EXPECT_TRUE(plan.installed.empty());
       }},
      {"no CAB folder", [](const ScratchFolder& m) { std::filesystem::remove_all(m.Path("CAB")); },
       {{"install-stops", ""}}, 2},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder medium;
    CompleteMedium(medium);
    c.layout(medium);
    WriteUninstallList(medium.Path());
    CheckOptions options;
    options.medium = medium.Path();
    c.options(options);
    const std::vector<std::string> before = Snapshot(medium.Path());
    const CheckResult result = CheckMedium(options);
    EXPECT_EQ(Snapshot(medium.Path()), before) << "the check changed the medium";
    std::vector<Finding> expected = c.expected, found = Findings(result);
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    EXPECT_EQ(found, expected) << FormatText(result);
    EXPECT_EQ(result.diagnostics.ExitStatus(), c.exitStatus);
    c.plan(result.plan);
  }
}

TEST(CheckTest, MissingMediumIsAnErrorNamingIt) {
  CheckOptions options;
  options.medium = "/nonexistent/medium";
  const CheckResult result = CheckMedium(options);
  ASSERT_EQ(Findings(result), (std::vector<Finding>{{"missing-folder", "/nonexistent/medium"}}));
  EXPECT_EQ(result.diagnostics.ExitStatus(), 2);
}

// The list against the plan: each installed file it leaves out and each line that names no
// installed file is one warning naming that path; no list at all is one warning.
TEST(CheckTest, UninstallListAgainstThePlan) {
  const struct {
    const char* what;
    std::function<void(const ScratchFolder&)> edit;  // after the list is written
    std::vector<Finding> expected;
    Strings mentioned;  // paths the messages must name
  } cases[] = {
      {"the list as written", [](const ScratchFolder&) {}, {}, {}},
      {"a line missing and one too many",
       [](const ScratchFolder& m) {
         std::string list = testing::ReadAll(m.Path("CAB/uninstall.lst"));
         const size_t at = list.find("Docs\\guide.txt\r\n");
         ASSERT_NE(at, std::string::npos) << list;
         list.erase(at, std::string("Docs\\guide.txt\r\n").size());
         m.Write("CAB/uninstall.lst", list + "ghost.txt\r\n");
       },
       {{"uninstall-list", "CAB\\uninstall.lst"}, {"uninstall-list", "CAB\\uninstall.lst"}},
       {"\"Docs\\guide.txt\" is installed but not listed", "\"ghost.txt\" is listed but not installed"}},
      {"other letter case, LF endings and comments are read as the uninstaller reads them",
       [](const ScratchFolder& m) {
         std::string list = testing::ReadAll(m.Path("CAB/uninstall.lst"));
         std::string edited = "\xEF\xBB\xBF; another comment\n";
         for (char c : list.substr(3)) {
           if (c != '\r') edited += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
         }
         m.Write("CAB/uninstall.lst", edited);
       },
       {}, {}},
      {"no list", [](const ScratchFolder& m) { std::filesystem::remove(m.Path("CAB/uninstall.lst")); },
       {{"no-uninstall-list", "CAB\\uninstall.lst"}},
       {"the uninstaller will remove only the two programs and INSTALL.CFG"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder medium;
    CompleteMedium(medium);
    medium.Write("CAB/Docs/guide.txt", "guide");
    WriteUninstallList(medium.Path());
    ASSERT_TRUE(std::filesystem::exists(medium.Path("CAB/uninstall.lst")));
    c.edit(medium);
    CheckOptions options;
    options.medium = medium.Path();
    const CheckResult result = CheckMedium(options);
    EXPECT_EQ(Findings(result), c.expected) << FormatText(result);
    EXPECT_EQ(result.diagnostics.ExitStatus(), c.expected.empty() ? 0 : 1);
    for (const std::string& text : c.mentioned) {
      EXPECT_TRUE(std::any_of(result.diagnostics.items.begin(), result.diagnostics.items.end(),
                              [&](const Diagnostic& d) { return d.message.find(text) != std::string::npos; }))
          << text << " in:\n" << FormatText(result);
    }
  }
}

// Wine keeps DOS attributes in user.DOSATTRIB; an NTFS copy carries them, a disc image does not.
TEST(CheckTest, DosAttributesCountOnAnNtfsCopyOnly) {
  ScratchFolder medium;
  CompleteMedium(medium);
  medium.Write("CAB/secret.txt", "x");
  if (setxattr(medium.Path("CAB/secret.txt").c_str(), "user.DOSATTRIB", "0x2", 3, 0) != 0) {
    GTEST_SKIP() << "no user extended attributes on " << medium.Path();
  }
  for (const Target target : {Target::Cd, Target::Ntfs}) {
    CheckOptions options;
    options.medium = medium.Path();
    options.target = target;
    const CheckResult result = CheckMedium(options);
    const bool ntfs = target == Target::Ntfs;
    EXPECT_EQ(Installed(result.plan, "secret.txt"), !ntfs);
    std::vector<Finding> expected{{"no-uninstall-list", "CAB\\uninstall.lst"}};
    if (ntfs) expected.insert(expected.begin(), {"hidden", "CAB\\secret.txt"});
    EXPECT_EQ(Findings(result), expected);
  }
}

// The commands' conventions: --help succeeds, a usage mistake is status 2 with a message.
TEST(CommandLineTest, HelpAndUsageErrors) {
  const struct {
    int (*command)(const std::vector<std::string>&);
    Strings args;
    int status;
  } cases[] = {
      {RunCheckCommand, {"--help"}, 0},
      {RunCheckCommand, {}, 2},
      {RunCheckCommand, {"a", "b"}, 2},
      {RunCheckCommand, {"m", "--target", "floppy"}, 2},
      {RunCheckCommand, {"m", "--free", "lots"}, 2},
      {RunCheckCommand, {"m", "--install-dir", "Telmorquistane"}, 2},
      {RunCheckCommand, {"m", "--bogus"}, 2},
      {RunCheckCommand, {"m", "--target"}, 2},
      {RunBuildCommand, {"--help"}, 0},
      {RunBuildCommand, {"--product", "p"}, 2},
      {RunUninstallListCommand, {"--help"}, 0},
      {RunUninstallListCommand, {}, 2},
      {RunUninstallListCommand, {"/nonexistent/medium"}, 2},
      {RunImageCommand, {"--help"}, 0},
      {RunImageCommand, {"medium", "--out", "x.iso"}, 2},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = c.command(c.args);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status) << joined;
    // Help goes to standard output; a mistake is explained on standard error.
    EXPECT_FALSE((c.status == 0 ? out : err).empty()) << joined;
  }
}

// --- build -------------------------------------------------------------------------------------

int Build(const ScratchFolder& work, const std::string& target, const std::string& out) {
  return RunBuildCommand({"--product", work.Path("product"), "--main", work.Path("main.exe"), "--uninstaller",
                          work.Path("uninstall.exe"), "--setup", work.Path("setup.exe"), "--system",
                          work.Path("system"), "--fonts", work.Path("fonts"), "--target", target, "--out", out});
}

void BuildInputs(const ScratchFolder& work, const std::string& fontA, const std::string& fontB) {
  for (const char* program : {"main.exe", "uninstall.exe", "setup.exe"}) {
    work.Write(program, testing::MakePe(kMachineI386, {}));
  }
  work.Write("product/readme.txt", "readme");
  work.Write("product/راهنما/فایل یک.txt", "guide");
  work.Write("system/reg.dll", testing::MakePe(kMachineI386, {"DllRegisterServer"}));
  work.Write("system/plain.dll", testing::MakePe(kMachineI386, {"Other"}));
  work.Write("fonts/" + fontA, testing::ReadAll(testing::kSansFont));
  work.Write("fonts/" + fontB, testing::ReadAll(testing::kSansBoldFont));
}

// What the build lays out, the check finds nothing to warn about: on the target it was built
// for, whatever the case of the font names; on the other target only where the orders agree.
TEST(BuildTest, CheckOfTheBuiltMediumIsClean) {
  const struct {
    const char* fontA;
    const char* fontB;
  } fontNames[] = {{"b.ttf", "c.ttf"}, {"B.ttf", "a.ttf"}, {"وزیر.ttf", "Vazir.ttf"}};
  for (const auto& names : fontNames) {
    for (const std::string target : {"cd", "ntfs"}) {
      SCOPED_TRACE(std::string(names.fontA) + " " + names.fontB + " for " + target);
      ScratchFolder work;
      BuildInputs(work, names.fontA, names.fontB);
      ASSERT_EQ(Build(work, target, work.Path("medium")), 0);
      for (const Target checked : {Target::Cd, Target::Ntfs}) {
        CheckOptions options;
        options.medium = work.Path("medium");
        options.target = checked;
        const CheckResult result = CheckMedium(options);
        const bool same = (checked == Target::Cd) == (target == "cd");
        const bool ordersAgree = ComesBefore(Target::Cd, names.fontA, names.fontB) ==
                                 ComesBefore(Target::Ntfs, names.fontA, names.fontB);
        if (ordersAgree) {
          EXPECT_EQ(result.diagnostics.ExitStatus(), 0) << FormatText(result);
        } else {
          // Only the fonts' order and, where the list does not fit this target, their pairs.
          for (const Diagnostic& d : result.diagnostics.items) {
            EXPECT_TRUE(d.kind == "font-order" || (!same && d.kind == "font-pair")) << d.kind << ": " << d.message;
          }
          EXPECT_FALSE(result.diagnostics.items.empty());
        }
        EXPECT_EQ(result.plan.registered, Strings{"C:\\windows\\System32\\reg.dll"});
        EXPECT_TRUE(Installed(result.plan, "راهنما\\فایل یک.txt"));
        if (same || ordersAgree) {
          Strings valueNames;
          for (const PlanValue& v : result.plan.fontValues) valueNames.push_back(v.name + "=" + v.data);
          EXPECT_NE(std::find(valueNames.begin(), valueNames.end(),
                              std::string("DejaVu Sans Bold (TrueType)=") + names.fontB),
                    valueNames.end());
        }
      }
    }
  }
}

TEST(BuildTest, BadInputNamesEachFileAndWritesNothing) {
  ScratchFolder work;
  BuildInputs(work, "a.ttf", "b.ttf");
  work.Write("main.exe", "not a program");
  work.Write("fonts/broken.ttf", "not a font");
  work.Write("system/broken.dll", "not a library");
  ::testing::internal::CaptureStderr();
  const int status = Build(work, "cd", work.Path("medium"));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 2);
  for (const std::string file : {"main.exe", "fonts/broken.ttf", "system/broken.dll"}) {
    EXPECT_NE(errors.find(work.Path(file)), std::string::npos) << file << " in: " << errors;
  }
  EXPECT_FALSE(std::filesystem::exists(work.Path("medium")));
}

// The list the build writes is exactly the files the check's run installs, in byte order, for
// products with what the installer leaves out, Persian names and nested folders.
TEST(BuildTest, UninstallListIsWhatTheCheckInstalls) {
  const Strings always = {"INSTALL.CFG", "Telmorquistane.EXE", "Uninstall.EXE", "readme.txt", "uninstall.lst"};
  const struct {
    const char* what;
    std::function<void(const ScratchFolder&)> product;  // besides product/readme.txt
    Strings listed;                                     // besides `always`
  } cases[] = {
      {"only the readme", [](const ScratchFolder&) {}, {}},
      {"hidden and empty files, a hidden folder",
       [](const ScratchFolder& w) {
         w.Write("product/.hidden.txt", "x");
         w.Write("product/empty.txt", "");
         w.Write("product/.cache/inside.txt", "x");
         w.Write("product/Docs/.also-hidden", "x");
         w.Write("product/Docs/kept.txt", "x");
       },
       {"Docs\\kept.txt"}},
      {"Persian names in nested folders",
       [](const ScratchFolder& w) {
         w.Write("product/راهنما/فصل یک/درس.txt", "x");
         w.Write("product/راهنما/فهرست.txt", "x");
         w.Write("product/a/b/c/d.bin", "x");
         w.Folder("product/empty-folder");
       },
       {"a\\b\\c\\d.bin", "راهنما\\فصل یک\\درس.txt", "راهنما\\فهرست.txt"}},
  };
  for (const auto& c : cases) {
    for (const std::string target : {"cd", "ntfs"}) {
      SCOPED_TRACE(std::string(c.what) + " for " + target);
      ScratchFolder work;
      BuildInputs(work, "a.ttf", "b.ttf");
      std::filesystem::remove_all(work.Path("product/راهنما"));
      c.product(work);
      ::testing::internal::CaptureStdout();
      ASSERT_EQ(Build(work, target, work.Path("medium")), 0);
      ::testing::internal::GetCapturedStdout();
      const std::string bytes = testing::ReadAll(work.Path("medium/CAB/uninstall.lst"));
      EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF; Files installed by Telmorquistane. Read by the uninstaller; do not edit.\r\n", 0),
                0u)
          << bytes;
      Strings expected = always;
      expected.insert(expected.end(), c.listed.begin(), c.listed.end());
      std::sort(expected.begin(), expected.end());
      const Strings lines = DecodeUninstallList(bytes);
      EXPECT_EQ(lines, expected);
      size_t crlf = 0;
      for (size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos; at += 2) ++crlf;
      EXPECT_EQ(crlf, lines.size() + 1) << "every line, the comment included, ends in CR LF";

      CheckOptions options;
      options.medium = work.Path("medium");
      options.target = target == "cd" ? Target::Cd : Target::Ntfs;
      const CheckResult result = CheckMedium(options);
      Strings installed;
      for (const PlanFile& f : result.plan.installed) {
        if (!f.folder) installed.push_back(f.path);
      }
      std::sort(installed.begin(), installed.end());
      EXPECT_EQ(installed, lines);
      for (const Diagnostic& d : result.diagnostics.items) {
        EXPECT_TRUE(d.kind != "uninstall-list" && d.kind != "no-uninstall-list") << d.kind << ": " << d.message;
      }
    }
  }
}

// A medium laid out by hand without an uninstaller: no Uninstall.EXE or INSTALL.CFG to list.
TEST(BuildTest, UninstallListOfAMediumWithoutUninstaller) {
  ScratchFolder medium;
  CompleteMedium(medium);
  std::filesystem::remove(medium.Path("CAB/uninstall.DAT"));
  medium.Write("CAB/Docs/راهنما.txt", "x");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(RunUninstallListCommand({medium.Path()}), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(DecodeUninstallList(testing::ReadAll(medium.Path("CAB/uninstall.lst"))),
            (Strings{"Docs\\راهنما.txt", "Telmorquistane.EXE", "readme.txt", "uninstall.lst"}));
  CheckOptions options;
  options.medium = medium.Path();
  EXPECT_EQ(Findings(CheckMedium(options)), (std::vector<Finding>{{"no-uninstaller", "CAB\\uninstall.DAT"}}));
}

// uninstall.lst in the product, in any letter case, is refused like the staged programs' names.
TEST(BuildTest, ProductFileNamedLikeTheListIsRefused) {
  for (const std::string name : {"uninstall.lst", "UNINSTALL.LST"}) {
    SCOPED_TRACE(name);
    ScratchFolder work;
    BuildInputs(work, "a.ttf", "b.ttf");
    work.Write("product/" + name, "mine");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Build(work, "cd", work.Path("medium")), 2);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(work.Path("product/" + name) + ": the product folder has a file named uninstall.lst"),
              std::string::npos)
        << errors;
    EXPECT_FALSE(std::filesystem::exists(work.Path("medium")));
  }
}

// --- image -------------------------------------------------------------------------------------

TEST(ImageTest, JolietRecordsReadBackInTheCheckOrder) {
  if (std::system("xorriso -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xorriso";
  ScratchFolder work;
  Strings names = {"B.ttf", "a.ttf", "a-b.ttf", "a.b.ttf", "فارسی.ttf", "Z.TTF", Repeat('l', 70) + ".txt"};
  for (const std::string& name : names) work.Write("medium/Fonts/" + name, name);
  ASSERT_EQ(RunImageCommand({work.Path("medium"), "--label", "TEST_DISC", "--out", work.Path("disc.iso")}), 0);
  DiscImage image;
  std::string error;
  ASSERT_TRUE(ReadDiscImage(work.Path("disc.iso"), image, error)) << error;
  EXPECT_EQ(image.jolietLabel, "TEST_DISC");
  EXPECT_TRUE(image.rockRidge);
  ASSERT_EQ(image.root.children.size(), 1u);
  Strings onDisc;
  for (const DiscEntry& e : image.root.children[0].children) onDisc.push_back(e.name);
  SortNames(Target::Cd, names);
  EXPECT_EQ(onDisc, names);

  // A cut image is refused with a reason, not read past its end.
  const std::string bytes = testing::ReadAll(work.Path("disc.iso"));
  work.Write("cut.iso", bytes.substr(0, 17 * 2048));
  EXPECT_FALSE(ReadDiscImage(work.Path("cut.iso"), image, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(RunImageCommand({work.Path("medium"), "--label", "bad label", "--out", work.Path("x.iso")}), 2);
}

// The image lays the files out in the order the installer reads them, so a drive reads the disc
// in one run; a plain xorriso image of the same medium jumps, and the check says how often.
TEST(ImageTest, LayoutFollowsTheInstallersReadingOrder) {
  if (std::system("xorriso -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xorriso";
  ScratchFolder work;
  // Capitals come first in Joliet's order and last in ISO 9660's upper-cased one; Persian names
  // come after every Latin one; "Deep" nests; an empty file holds no data; names that differ
  // only in case are two files on a disc.
  const Strings files = {"setup.exe", "autorun.inf", "CAB/zeta.txt", "CAB/Alpha.txt", "CAB/beta.txt",
                         "CAB/Beta2.txt", "CAB/راهنما/شروع.txt", "CAB/راهنما/A.txt", "CAB/Deep/a/b/c/d.bin",
                         "CAB/Deep/Z.bin", "CAB/empty.txt", "CAB/case.txt", "CAB/CASE.txt",
                         "System/zz.dll", "System/SYSTEM.TXT", "System/Aa.dll", "Fonts/b.ttf",
                         "Fonts/A.ttf", "Fonts/FONT.TXT"};
  for (const std::string& f : files) {
    work.Write("medium/" + f, f.find("empty") != std::string::npos ? "" : std::string(3000, 'x') + f);
  }
  ASSERT_EQ(RunImageCommand({work.Path("medium"), "--label", "LAYOUT", "--out", work.Path("laid.iso")}), 0);
  DiscImage image;
  std::string error;
  ASSERT_TRUE(ReadDiscImage(work.Path("laid.iso"), image, error)) << error;
  const std::vector<DiscFile> order = InstallerReadingOrder(image.root);
  Strings paths;
  for (const DiscFile& f : order) paths.push_back(f.path);
  // Depth first in Joliet order (UTF-16 units: capitals, then small letters, then Persian),
  // then the System step (record order), then the Fonts step (its list first).
  EXPECT_EQ(paths, (Strings{"autorun.inf", "setup.exe", "CAB\\Alpha.txt", "CAB\\Beta2.txt", "CAB\\CASE.txt",
                            "CAB\\Deep\\Z.bin", "CAB\\Deep\\a\\b\\c\\d.bin", "CAB\\beta.txt",
                            "CAB\\case.txt", "CAB\\empty.txt", "CAB\\zeta.txt", "CAB\\راهنما\\A.txt",
                            "CAB\\راهنما\\شروع.txt", "System\\Aa.dll", "System\\SYSTEM.TXT",
                            "System\\zz.dll", "Fonts\\FONT.TXT", "Fonts\\A.ttf", "Fonts\\b.ttf"}));
  const DiscRuns laid = CountRuns(order);
  EXPECT_EQ(laid.runs, 1) << (laid.breaks.empty() ? "" : laid.breaks.front());

  // The same medium as xorriso lays it out by itself: jumps, and the check counts them.
  ASSERT_EQ(std::system(("xorriso -as mkisofs -J -R -quiet -o '" + work.Path("plain.iso") + "' '" +
                         work.Path("medium") + "' 2>/dev/null").c_str()), 0);
  ASSERT_TRUE(ReadDiscImage(work.Path("plain.iso"), image, error)) << error;
  const DiscRuns plain = CountRuns(InstallerReadingOrder(image.root));
  EXPECT_GT(plain.runs, 1);
  EXPECT_EQ(plain.jumps, plain.runs - 1);
  EXPECT_GT(plain.backward, 0);
  for (const auto& [iso, runs] : {std::pair{work.Path("plain.iso"), plain.runs}, std::pair{work.Path("laid.iso"), 1}}) {
    CheckOptions options;
    options.medium = work.Path("medium");
    options.image = iso;
    const CheckResult result = CheckMedium(options);
    EXPECT_EQ(result.plan.discRuns, runs) << iso;
    size_t warnings = 0;
    for (const Diagnostic& item : result.diagnostics.items) warnings += item.kind == "disc-jumps";
    EXPECT_EQ(warnings, runs > 1 ? 1u : 0u) << iso;
  }

  // Laid out for Wine, which lists every folder without regard to case: one run in that order,
  // jumps in the records' order; the check reads it either way.
  ASSERT_EQ(RunImageCommand({work.Path("medium"), "--label", "LAYOUT", "--target", "ntfs", "--out",
                             work.Path("wine.iso")}), 0);
  ASSERT_TRUE(ReadDiscImage(work.Path("wine.iso"), image, error)) << error;
  paths.clear();
  for (const DiscFile& f : InstallerReadingOrder(image.root, Target::Ntfs)) paths.push_back(f.path);
  EXPECT_EQ(paths, (Strings{"autorun.inf", "setup.exe", "CAB\\Alpha.txt", "CAB\\beta.txt",
                            "CAB\\Beta2.txt", "CAB\\CASE.txt", "CAB\\case.txt", "CAB\\Deep\\a\\b\\c\\d.bin",
                            "CAB\\Deep\\Z.bin", "CAB\\empty.txt", "CAB\\zeta.txt", "CAB\\راهنما\\A.txt",
                            "CAB\\راهنما\\شروع.txt", "System\\Aa.dll", "System\\SYSTEM.TXT",
                            "System\\zz.dll", "Fonts\\FONT.TXT", "Fonts\\A.ttf", "Fonts\\b.ttf"}));
  EXPECT_EQ(CountRuns(InstallerReadingOrder(image.root, Target::Ntfs)).runs, 1);
  EXPECT_GT(CountRuns(InstallerReadingOrder(image.root, Target::Cd)).runs, 1);
  CheckOptions wine;
  wine.medium = work.Path("medium");
  wine.image = work.Path("wine.iso");
  wine.target = Target::Ntfs;
  EXPECT_EQ(CheckMedium(wine).plan.discRuns, 1);
  EXPECT_EQ(RunImageCommand({work.Path("medium"), "--label", "LAYOUT", "--target", "fat", "--out",
                             work.Path("bad.iso")}), 2);
}

// Runs and their breaks from extents alone: contiguous data is one run whatever the sizes, and
// empty files do not break it; a gap, a step back or a file read again does.
TEST(ImageTest, RunsCountEveryJump) {
  struct Case {
    std::vector<DiscFile> order;
    int runs, backward;
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{{"a", 100, 1}, {"b", 101, 2048}, {"c", 102, 2049}, {"d", 104, 10}}, 1, 0},
      {{{"a", 100, 1}, {"empty", 0, 0}, {"b", 101, 5}}, 1, 0},
      {{{"a", 100, 4096}, {"b", 103, 5}}, 2, 0},
      {{{"a", 100, 4096}, {"b", 90, 5}, {"c", 91, 5}}, 2, 1},
      {{{"a", 100, 10}, {"b", 101, 10}, {"a", 100, 10}, {"c", 102, 10}}, 3, 1},
  };
  for (const Case& c : cases) {
    const DiscRuns runs = CountRuns(c.order);
    EXPECT_EQ(runs.runs, c.runs);
    EXPECT_EQ(runs.backward, c.backward);
    EXPECT_EQ(runs.jumps, std::max(0, c.runs - 1));
    EXPECT_EQ(runs.breaks.size(), static_cast<size_t>(runs.jumps));
  }
  EXPECT_EQ(SortWeightList({{"setup.exe", -1, 1}, {"CAB\\a b\\c.txt", -1, 1}}), "2 /setup.exe\n1 /CAB/a b/c.txt\n");
}

// --- symbolic links ----------------------------------------------------------------------------

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// regression: a link to a parent folder in the product was copied 40 levels deep into a
// half-written medium, and check and image walked the same loop; a link out of the tree would
// have put this machine's files on the disc.
TEST(LinkTest, EveryLinkIsAnErrorNamedBeforeAnythingIsWritten) {
  enum class Command { Build, Check, Image };
  const struct {
    const char* what;
    Command command;
    std::string inner;     // the folder the links go in, below the scratch folder
    std::string relative;  // that folder as the command names it: on this machine, or in the medium
    std::string file;      // a file of the tree, as a link in `inner` names it
  } places[] = {
      {"build --product", Command::Build, "product/Docs/", "", "../readme.txt"},
      {"build --system", Command::Build, "system/", "", "reg.dll"},
      {"build --fonts", Command::Build, "fonts/", "", "a.ttf"},
      {"check", Command::Check, "medium/CAB/", "CAB\\", "readme.txt"},
      {"image", Command::Image, "medium/CAB/", "CAB\\", "readme.txt"},
  };
  enum : unsigned { kLoop = 1, kOutside = 2, kFileInside = 4 };
  const struct {
    const char* what;
    unsigned links;
  } kinds[] = {{"a loop", kLoop},
               {"a link out of the tree", kOutside},
               {"a link to a file of the tree", kFileInside},
               {"all three with another error", kLoop | kOutside | kFileInside}};
  for (const auto& place : places) {
    for (const auto& kind : kinds) {
      SCOPED_TRACE(std::string(place.what) + ", " + kind.what);
      ScratchFolder work;
      BuildInputs(work, "a.ttf", "b.ttf");
      work.Write("product/Docs/guide.txt", "guide");
      CompleteMedium(work, "medium/");
      work.Write("elsewhere/secret.txt", "secret");
      struct Link {
        std::string name, target, says;
      };
      std::vector<Link> links;
      // ".." from system/ or fonts/ is the scratch folder: outside the tree, yet holding the link.
      if (kind.links & kLoop) links.push_back({"loop", "..", "(a loop)"});
      if (kind.links & kOutside) links.push_back({"elsewhere", work.Path("elsewhere"), "outside"});
      if (kind.links & kFileInside) links.push_back({"copy", place.file, "put a copy of the file in its place"});
      for (const Link& link : links) std::filesystem::create_symlink(link.target, work.Path(place.inner + link.name));
      const bool another = links.size() > 1;
      std::string anotherName;
      if (another && place.command == Command::Build) {
        work.Write("main.exe", "not a program");
        anotherName = work.Path("main.exe");
      } else if (another && place.command == Command::Check) {
        work.Write("medium/CAB/what?.txt", "x");
        anotherName = "CAB\\what?.txt";
      }

      // Each command runs twice: build and image onto nothing and onto what is there, check for
      // each target.
      std::vector<std::string> errors;
      auto run = [&](const std::function<int()>& command) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = command();
        ::testing::internal::GetCapturedStdout();
        errors.push_back(::testing::internal::GetCapturedStderr());
        EXPECT_EQ(status, 2) << errors.back();
      };
      switch (place.command) {
        case Command::Build: {
          work.Folder("out-empty");
          run([&] { return Build(work, "cd", work.Path("out-new")); });
          run([&] { return Build(work, "cd", work.Path("out-empty")); });
          EXPECT_FALSE(std::filesystem::exists(work.Path("out-new")));
          EXPECT_TRUE(std::filesystem::is_empty(work.Path("out-empty")));
          break;
        }
        case Command::Check: {
          const std::vector<std::string> before = Snapshot(work.Path("medium"));
          run([&] { return RunCheckCommand({work.Path("medium")}); });
          run([&] { return RunCheckCommand({work.Path("medium"), "--target", "ntfs", "--json"}); });
          EXPECT_EQ(Snapshot(work.Path("medium")), before);
          break;
        }
        case Command::Image: {
          // A stand-in that leaves a mark: the error must come before any xorriso is started.
          work.Write("xorriso", "#!/bin/sh\ntouch \"" + work.Path("xorriso-started") + "\"\nexit 1\n");
          std::filesystem::permissions(work.Path("xorriso"), std::filesystem::perms::owner_all);
          work.Write("old.iso", "the image made before");
          for (const char* image : {"new.iso", "old.iso"}) {
            run([&] {
              return RunImageCommand({work.Path("medium"), "--label", "DISC", "--out", work.Path(image),
                                      "--xorriso", work.Path("xorriso")});
            });
          }
          EXPECT_FALSE(std::filesystem::exists(work.Path("xorriso-started")));
          EXPECT_FALSE(std::filesystem::exists(work.Path("new.iso")));
          EXPECT_EQ(testing::ReadAll(work.Path("old.iso")), "the image made before");
          for (const char* log : {"new.iso.xorriso.log", "old.iso.xorriso.log"}) {
            EXPECT_FALSE(std::filesystem::exists(work.Path(log))) << log;
          }
          break;
        }
      }

      for (const std::string& text : errors) {
        // Every link once, by its path, with where it points; nothing below a link.
        EXPECT_EQ(Count(text, "a symbolic link to"), links.size()) << text;
        for (const Link& link : links) {
          const std::string named = place.command == Command::Build ? work.Path(place.inner + link.name)
                                                                   : place.relative + link.name;
          EXPECT_NE(text.find(named + ": a symbolic link to \"" + link.target + "\""), std::string::npos)
              << link.name << " in: " << text;
          EXPECT_NE(text.find(link.says), std::string::npos) << link.name << " in: " << text;
        }
        EXPECT_EQ(text.find("loop/loop"), std::string::npos) << text;
        EXPECT_EQ(text.find("loop\\loop"), std::string::npos) << text;
        if (!anotherName.empty()) {
          EXPECT_NE(text.find(anotherName), std::string::npos) << text;
        }
      }
    }
  }
}

// The folder named on the command line is the vendor's choice, link or not.
TEST(LinkTest, AFolderNamedThroughALinkIsTaken) {
  ScratchFolder work;
  BuildInputs(work, "a.ttf", "b.ttf");
  for (const std::string folder : {"product", "system", "fonts"}) {
    std::filesystem::create_directory_symlink(work.Path(folder), work.Path(folder + "-link"));
  }
  ASSERT_EQ(RunBuildCommand({"--product", work.Path("product-link"), "--main", work.Path("main.exe"),
                             "--uninstaller", work.Path("uninstall.exe"), "--setup", work.Path("setup.exe"),
                             "--system", work.Path("system-link"), "--fonts", work.Path("fonts-link"), "--out",
                             work.Path("medium")}),
            0);
  std::filesystem::create_directory_symlink(work.Path("medium"), work.Path("medium-link"));
  CheckOptions options;
  options.medium = work.Path("medium-link");
  const CheckResult result = CheckMedium(options);
  EXPECT_EQ(result.diagnostics.ExitStatus(), 0) << FormatText(result);
  EXPECT_TRUE(Installed(result.plan, "راهنما\\فایل یک.txt"));
  EXPECT_EQ(result.plan.registered, Strings{"C:\\windows\\System32\\reg.dll"});
  EXPECT_EQ(result.plan.fontFiles.size(), 2u);

  if (std::system("xorriso -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xorriso for the image";
  // regression: xorriso put the link itself on the disc, an empty image.
  ASSERT_EQ(RunImageCommand({work.Path("medium-link"), "--label", "DISC", "--out", work.Path("disc.iso")}), 0);
  DiscImage image;
  std::string error;
  ASSERT_TRUE(ReadDiscImage(work.Path("disc.iso"), image, error)) << error;
  Strings onDisc;
  for (const DiscEntry& e : image.root.children) onDisc.push_back(e.name);
  EXPECT_EQ(onDisc, (Strings{"CAB", "Fonts", "System", "autorun.inf", "setup.exe"}));
}

}  // namespace
}  // namespace mediatool
