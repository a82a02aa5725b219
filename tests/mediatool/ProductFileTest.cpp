// The product file: every rule a bad file breaks gives its own error with file, line and key,
// all of them at once; the names Persian vendors really use pass; values arrive as written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "mediatool/ProductFile.h"

namespace mediatool {
namespace {

const std::string kGood =
    "[Product]\n"
    "Name = Sample\n"
    "Title = Sample Title\n"
    "Group = Sample Group\n"
    "Publisher = Sample Co\n"
    "[Medium]\n"
    "Product = cab\n";

// The good file with `line` appended to its section `section` (added at the end when absent).
std::string With(const std::string& section, const std::string& line) {
  std::string text = kGood;
  const size_t at = text.find("[" + section + "]");
  if (at == std::string::npos) return text + "[" + section + "]\n" + line + "\n";
  const size_t next = text.find("\n[", at + 1);
  text.insert(next == std::string::npos ? text.size() : next + 1, line + "\n");
  return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

TEST(ProductFileTest, EachRuleGivesItsErrorWithFileLineAndKey) {
  struct Case {
    const char* rule;
    std::string text;
    const char* expected;  // the whole error text after "vendor.ini:"
  } cases[] = {
      {"unknown key", With("Product", "Tilte = x"), "6: [Product] Tilte: unknown key"},
      {"unknown section", kGood + "[Produkt]\nName = x\n", "8: [Produkt]: unknown section"},
      {"key before any section", "Name = x\n" + kGood, "1: Name: a key before the first [Section]"},
      {"no equals sign", With("Medium", "Product cab"), "8: neither \"[Section]\" nor \"Key = value\""},
      {"key given twice", With("Product", "name = Other"), "6: [Product] Name: given twice (first on line 2)"},
      {"required key missing", Replace(kGood, "Group = Sample Group\n", ""), "1: [Product] Group: required key missing"},
      {"required section missing", kGood.substr(0, kGood.find("[Medium]")),
       " [Medium] Product: required, and the file has no [Medium] section"},
      {"empty value", Replace(kGood, "Title = Sample Title", "Title ="), "3: [Product] Title: empty"},
      {"backslash", Replace(kGood, "Name = Sample", "Name = a\\b"), "2: [Product] Name: holds \"\\\""},
      {"slash", Replace(kGood, "Group = Sample Group", "Group = a/b"), "4: [Product] Group: holds \"/\""},
      {"colon", With("Product", "Folder = C:x"), "6: [Product] Folder: holds \":\""},
      {"star", Replace(kGood, "Title = Sample Title", "Title = a*"), "3: [Product] Title: holds \"*\""},
      {"question mark", Replace(kGood, "Name = Sample", "Name = a?"), "2: [Product] Name: holds \"?\""},
      {"double quote", Replace(kGood, "Name = Sample", "Name = \"a\""), "2: [Product] Name: holds \"\"\""},
      {"angle bracket <", Replace(kGood, "Name = Sample", "Name = a<b"), "2: [Product] Name: holds \"<\""},
      {"angle bracket >", Replace(kGood, "Name = Sample", "Name = a>b"), "2: [Product] Name: holds \">\""},
      {"pipe", Replace(kGood, "Name = Sample", "Name = a|b"), "2: [Product] Name: holds \"|\""},
      {"control character", Replace(kGood, "Title = Sample Title", "Title = a\x01z"),
       "3: [Product] Title: holds the control character U+0001"},
      {"trailing dot", Replace(kGood, "Name = Sample", "Name = Sample."), "2: [Product] Name: ends in a dot"},
      {"device name CON", Replace(kGood, "Name = Sample", "Name = con"), "2: [Product] Name: \"con\" is a device name"},
      {"device name with extension", Replace(kGood, "Group = Sample Group", "Group = PRN.txt"),
       "4: [Product] Group: \"PRN\" is a device name"},
      {"device AUX", With("Product", "Folder = Aux"), "6: [Product] Folder: \"Aux\" is a device name"},
      {"device NUL", Replace(kGood, "Name = Sample", "Name = NUL"), "2: [Product] Name: \"NUL\" is a device name"},
      {"device COM1", Replace(kGood, "Name = Sample", "Name = COM1"), "2: [Product] Name: \"COM1\" is a device name"},
      {"device LPT9", Replace(kGood, "Title = Sample Title", "Title = lpt9"), "3: [Product] Title: \"lpt9\" is a device name"},
      {"Joliet: semicolon in the name", Replace(kGood, "Name = Sample", "Name = a;1"),
       "2: [Product] Name: holds \";\", which a disc's Joliet names do not allow"},
      {"Joliet: name too long", Replace(kGood, "Name = Sample", "Name = " + std::string(100, 'n')),
       "2: [Product] Name: too long: the disc's Joliet names hold at most 103 characters"},
      {"not UTF-8", Replace(kGood, "Publisher = Sample Co", "Publisher = \xE4\xF5"), "5: [Product] Publisher: not valid UTF-8"},
      {"bad label", With("Medium", "Label = my disc"), "8: [Medium] Label: only A-Z, 0-9 and _"},
      {"bad target", With("Medium", "Target = dvd"), "8: [Medium] Target: cd or ntfs, not \"dvd\""},
      {"certificate without its key", kGood + "[Signing]\nCertificate = vendor.pem\n",
       "9: [Signing] Certificate: a PEM certificate needs its Key"},
      {"password in the file", kGood + "[Signing]\nCertificate = v.p12\nPasswordVariable = hunter2!\n",
       "10: [Signing] PasswordVariable: the name of an environment variable"},
  };
  for (const Case& c : cases) {
    const ProductFileResult result = ParseProductFile(c.text, "vendor.ini");
    ASSERT_EQ(result.errors.size(), 1u) << c.rule << ": " << (result.errors.empty() ? "" : result.errors.back().Text());
    const std::string text = result.errors[0].Text();
    EXPECT_EQ(text.rfind(std::string("vendor.ini:") + c.expected, 0), 0u) << c.rule << ": " << text;
  }
}

TEST(ProductFileTest, AllProblemsAreReportedAtOnceInLineOrder) {
  const std::string text =
      "[Product]\n"
      "Name = CON\n"
      "Titel = x\n"
      "Group = a|b\n"
      "Publisher = p\n"
      "[Medium]\n"
      "Target = tape\n";
  const ProductFileResult result = ParseProductFile(text, "p.ini");
  ASSERT_EQ(result.errors.size(), 6u);
  const int lines[] = {1, 2, 3, 4, 6, 7};  // Title missing (section line), CON, Titel, |, Product missing, tape
  for (size_t i = 0; i < result.errors.size(); ++i) EXPECT_EQ(result.errors[i].line, lines[i]) << result.errors[i].Text();
  EXPECT_EQ(result.errors[0].key, "[Product] Title");
  EXPECT_EQ(result.errors[4].key, "[Medium] Product");
}

TEST(ProductFileTest, NamesPersianVendorsUsePassAndArriveAsWritten) {
  const std::string persianTitle = "نرم\u200Cافزار یادگیری";  // ZWNJ and the Persian yeh
  const std::string cases[] = {
      persianTitle,
      "کتابخانه ملّی",
      "My Product 2.0 (beta) v.1",
      std::string(64, 'x'),
      "آموزش زبان " + std::string(53, 'a'),  // 64 characters, Persian and Latin
      "a;b #c %PATH% $(rm -rf x) ${HOME} 'q'",
  };
  for (const std::string& name : cases) {
    // A ";" is fine in a Windows name but not in the disc's Joliet name <Name>.DAT.
    const std::string productName = name.find(';') == std::string::npos ? name : "n";
    const std::string text = "\xEF\xBB\xBF[PRODUCT]\r\nNAME=" + productName + "\r\n; a comment\r\n  title =  " +
                             persianTitle + "  \r\n# another\r\ngroup=" + name + "\r\nFolder=" + name +
                             "\r\npublisher = \"Q\" \\ 100% \");system(\"x\r\n[medium]\r\nproduct = ../cab dir\r\n";
    const ProductFileResult result = ParseProductFile(text, "dir/p.ini");
    ASSERT_TRUE(result.ok()) << name << ": " << result.errors[0].Text();
    EXPECT_EQ(result.product.name, productName);
    EXPECT_EQ(result.product.title, persianTitle);
    EXPECT_EQ(result.product.group, name);
    EXPECT_EQ(result.product.folder, name);
    EXPECT_EQ(result.product.publisher, "\"Q\" \\ 100% \");system(\"x");
    EXPECT_EQ(result.product.product, "cab dir");  // relative to the file's folder
  }
}

TEST(ProductFileTest, DefaultsFollowTheNames) {
  const ProductFileResult result = ParseProductFile(kGood, "/v/p.ini");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.product.folder, "Sample");
  EXPECT_EQ(result.product.author, "Sample Co");
  EXPECT_EQ(result.product.configFirstLine, "Sample");
  EXPECT_EQ(result.product.configPublisher, "Sample Co");
  EXPECT_EQ(result.product.label, "SAMPLE");
  EXPECT_EQ(result.product.target, "cd");
  EXPECT_EQ(result.product.product, "/v/cab");
  EXPECT_EQ(result.product.pictures, "");

  const std::pair<const char*, const char*> labels[] = {
      {"Telmorquistane", "TELMORQUISTANE"}, {"My Product 2.0", "MY_PRODUCT_2_0"},
      {"نرم‌افزار", "SETUP"}, {"a very long product name", "A_VERY_LONG_PROD"}, {"x - y", "X_Y"}};
  for (const auto& [name, label] : labels) {
    EXPECT_EQ(DefaultLabel(name), label) << name;
    EXPECT_EQ(LabelProblem(DefaultLabel(name)), "") << name;
  }
}

TEST(ProductFileTest, PathsMustExistAndBeOfTheirKind) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "product-file-test";
  fs::remove_all(dir);
  fs::create_directories(dir / "cab");
  std::ofstream(dir / "main.exe") << "MZ";
  const std::string file = (dir / "p.ini").string();
  std::ofstream(file) << kGood << "MainProgram = cab\nUninstaller = missing.exe\nSystem = main.exe\nFonts = cab\n";
  const ProductFileResult result = ReadProductFile(file);
  ASSERT_EQ(result.errors.size(), 3u);
  EXPECT_EQ(result.errors[0].Text(), file + ":8: [Medium] MainProgram: not a file: " + (dir / "cab").string());
  EXPECT_EQ(result.errors[1].Text(), file + ":9: [Medium] Uninstaller: no such file: " + (dir / "missing.exe").string());
  EXPECT_EQ(result.errors[2].Text(), file + ":10: [Medium] System: not a folder: " + (dir / "main.exe").string());
  EXPECT_EQ(ReadProductFile((dir / "none.ini").string()).errors.at(0).message, "cannot read the product file");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mediatool
