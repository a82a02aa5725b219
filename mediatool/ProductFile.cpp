// Reading and checking the product file. Every problem is collected, so a vendor sees them all
// at once, each with its file, line and key; nothing of a value is interpreted beyond trimming.
#include "mediatool/ProductFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/platform/Unicode.h"
#include "mediatool/Paths.h"

namespace mediatool {
namespace fs = std::filesystem;
namespace {

enum class Kind { Text, Name, Folder, File, Choice, Label, Variable };

struct KnownKey {
  const char* section;
  const char* key;
  Kind kind;
  bool required;
  std::string ProductFile::*field;
};

const std::array<KnownKey, 20> kKeys = {{
    {"Product", "Name", Kind::Name, true, &ProductFile::name},
    {"Product", "Folder", Kind::Name, false, &ProductFile::folder},
    {"Product", "Title", Kind::Name, true, &ProductFile::title},
    {"Product", "Group", Kind::Name, true, &ProductFile::group},
    {"Product", "Publisher", Kind::Text, true, &ProductFile::publisher},
    {"Product", "Author", Kind::Text, false, &ProductFile::author},
    {"Product", "ConfigFirstLine", Kind::Text, false, &ProductFile::configFirstLine},
    {"Product", "ConfigPublisher", Kind::Text, false, &ProductFile::configPublisher},
    {"Medium", "Product", Kind::Folder, true, &ProductFile::product},
    {"Medium", "MainProgram", Kind::File, false, &ProductFile::mainProgram},
    {"Medium", "Uninstaller", Kind::File, false, &ProductFile::uninstaller},
    {"Medium", "System", Kind::Folder, false, &ProductFile::system},
    {"Medium", "Fonts", Kind::Folder, false, &ProductFile::fonts},
    {"Medium", "Pictures", Kind::Folder, false, &ProductFile::pictures},
    {"Medium", "Label", Kind::Label, false, &ProductFile::label},
    {"Medium", "Target", Kind::Choice, false, &ProductFile::target},
    {"Signing", "Certificate", Kind::File, false, &ProductFile::certificate},
    {"Signing", "Key", Kind::File, false, &ProductFile::key},
    {"Signing", "PasswordVariable", Kind::Variable, false, &ProductFile::passwordVariable},
    {"Signing", "", Kind::Text, false, nullptr},  // marks the section as known
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  // ASCII blanks only: a ZWNJ or another format character at an end is part of the value.
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

size_t Utf16Units(std::string_view text) {
  size_t units = 0, pos = 0;
  char32_t c = 0;
  while (pos < text.size()) {
    units += installer::NextCodePoint(text, pos, c) && c > 0xFFFF ? 2 : 1;
  }
  return units;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string CodePointName(char32_t c) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string text = "U+";
  const int digits = c > 0xFFFF ? 6 : 4;
  for (int i = digits - 1; i >= 0; --i) text += kHex[(c >> (4 * i)) & 0xF];
  return text;
}

// A control character makes a value that no registry reader, link name or INSTALL.CFG line
// can carry as written.
std::string ControlProblem(std::string_view value) {
  size_t pos = 0;
  char32_t c = 0;
  while (pos < value.size()) {
    if (!installer::NextCodePoint(value, pos, c, true)) return "not valid UTF-8 (save the file as UTF-8)";
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return "holds the control character " + CodePointName(c);
  }
  return "";
}

fs::path Resolve(const std::string& file, const std::string& value) {
  const fs::path given = FsPath(value);
  if (given.is_absolute()) return given;
  return FsPath(file).parent_path() / given;
}

}  // namespace

std::string ProductFileError::Text() const {
  std::string text = file;
  if (line > 0) text += ":" + std::to_string(line);
  text += ": ";
  if (!key.empty()) text += key + ": ";
  return text + message;
}

std::string WindowsNameProblem(std::string_view name) {
  if (name.empty()) return "empty";
  if (const std::string control = ControlProblem(name); !control.empty()) return control;
  for (const char c : std::string_view("\\/:*?\"<>|")) {
    if (name.find(c) != std::string_view::npos) {
      return std::string("holds \"") + c + "\", which Windows does not allow in a file or folder name";
    }
  }
  if (name.back() == '.' || name.back() == ' ') {
    return std::string("ends in ") + (name.back() == '.' ? "a dot" : "a space") +
           ", which Windows drops from a file or folder name";
  }
  // Device names are reserved with any extension, and without regard to letter case.
  const std::string_view stem = Trim(name.substr(0, name.find('.')));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  bool device = std::any_of(std::begin(kDevices), std::end(kDevices),
                            [&](const char* d) { return SameIgnoringCase(stem, d); });
  if (stem.size() == 4 && (SameIgnoringCase(stem.substr(0, 3), "COM") || SameIgnoringCase(stem.substr(0, 3), "LPT")) &&
      stem[3] >= '1' && stem[3] <= '9') {
    device = true;
  }
  if (device) return "\"" + std::string(stem) + "\" is a device name that Windows reserves";
  if (Utf16Units(name) > 255) return "longer than the 255 characters of a Windows name";
  return "";
}

std::string DefaultLabel(std::string_view name) {
  std::string label;
  for (const char c : name) {
    char out = 0;
    if (c >= 'a' && c <= 'z') out = char(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out = c;
    else if (c == ' ' || c == '.' || c == '-' || c == '_') out = '_';
    else continue;  // letters of other scripts have no place in an ISO 9660 label
    if (out == '_' && (label.empty() || label.back() == '_')) continue;
    label += out;
  }
  while (!label.empty() && label.back() == '_') label.pop_back();
  if (label.size() > 16) label.resize(16);
  while (!label.empty() && label.back() == '_') label.pop_back();
  return label.empty() ? "SETUP" : label;
}

std::string LabelProblem(std::string_view label) {
  if (label.empty() || label.size() > 16) return "1 to 16 characters, not " + std::to_string(label.size());
  for (const char c : label) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
      return "only A-Z, 0-9 and _ (what both the ISO 9660 and the Joliet label hold)";
    }
  }
  return "";
}

ProductFileResult ParseProductFile(std::string_view text, const std::string& path) {
  ProductFileResult result;
  ProductFile& product = result.product;
  product.path = path;
  product.target.clear();
  const auto fail = [&](int line, std::string key, std::string message) {
    result.errors.push_back({path, line, std::move(key), std::move(message)});
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  std::string section;  // canonical spelling, "" before the first section
  bool sectionKnown = false;
  struct Seen { const KnownKey* entry; int line; };
  std::vector<Seen> seen;
  std::vector<std::pair<std::string, int>> sections;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        fail(lineNumber, "", "a section line ends in \"]\"");
        sectionKnown = false;
        continue;
      }
      const std::string_view name = Trim(line.substr(1, line.size() - 2));
      sectionKnown = false;
      for (const KnownKey& entry : kKeys) {
        if (SameIgnoringCase(name, entry.section)) {
          section = entry.section;
          sectionKnown = true;
          break;
        }
      }
      if (!sectionKnown) {
        fail(lineNumber, "[" + std::string(name) + "]", "unknown section (known: [Product], [Medium], [Signing])");
      } else {
        sections.emplace_back(section, lineNumber);
      }
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      fail(lineNumber, "", "neither \"[Section]\" nor \"Key = value\": " + Quoted(line));
      continue;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (section.empty()) {
      fail(lineNumber, std::string(key), "a key before the first [Section]");
      continue;
    }
    if (!sectionKnown) continue;  // its section was already reported
    const KnownKey* entry = nullptr;
    for (const KnownKey& candidate : kKeys) {
      if (section == candidate.section && candidate.field && SameIgnoringCase(key, candidate.key)) entry = &candidate;
    }
    const std::string where = "[" + section + "] " + std::string(key);
    if (!entry) {
      std::string known;
      for (const KnownKey& candidate : kKeys) {
        if (section == candidate.section && candidate.field) known += (known.empty() ? "" : ", ") + std::string(candidate.key);
      }
      fail(lineNumber, where, "unknown key (known in [" + section + "]: " + known + ")");
      continue;
    }
    const std::string canonical = "[" + section + "] " + entry->key;
    if (auto earlier = std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.entry == entry; });
        earlier != seen.end()) {
      fail(lineNumber, canonical, "given twice (first on line " + std::to_string(earlier->line) + ")");
      continue;
    }
    seen.push_back({entry, lineNumber});
    result.keyLines.emplace_back(canonical, lineNumber);
    product.*(entry->field) = std::string(value);

    std::string problem;
    if (value.empty()) {
      problem = "empty";
    } else {
      switch (entry->kind) {
        case Kind::Name:
          problem = WindowsNameProblem(value);
          // The main program is staged on the disc as <Name>.DAT, a Joliet name.
          if (problem.empty() && entry->field == &ProductFile::name) {
            if (value.find(';') != std::string_view::npos) {
              problem = "holds \";\", which a disc's Joliet names do not allow (the disc carries <Name>.DAT)";
            } else if (Utf16Units(std::string(value) + ".DAT") > 103) {
              problem = "too long: the disc's Joliet names hold at most 103 characters, and the disc carries <Name>.DAT";
            }
          }
          break;
        case Kind::Text:
        case Kind::Folder:
        case Kind::File:
          problem = ControlProblem(value);
          break;
        case Kind::Label:
          problem = LabelProblem(value);
          break;
        case Kind::Choice:
          if (SameIgnoringCase(value, "cd")) product.target = "cd";
          else if (SameIgnoringCase(value, "ntfs")) product.target = "ntfs";
          else problem = "cd or ntfs, not " + Quoted(value);
          break;
        case Kind::Variable:
          for (const char c : value) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) {
              problem = "the name of an environment variable (letters, digits and _), not a password";
              break;
            }
          }
          break;
      }
    }
    if (!problem.empty()) fail(lineNumber, canonical, problem);
  }

  for (const KnownKey& entry : kKeys) {
    if (!entry.required) continue;
    if (std::none_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.entry == &entry; })) {
      auto header = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == entry.section; });
      fail(header == sections.end() ? 0 : header->second, "[" + std::string(entry.section) + "] " + entry.key,
           header == sections.end() ? "required, and the file has no [" + std::string(entry.section) + "] section"
                                    : std::string("required key missing"));
    }
  }
  const auto given = [&](std::string ProductFile::*field) {
    return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.entry->field == field; });
  };
  const auto lineOf = [&](std::string ProductFile::*field) {
    for (const Seen& s : seen) {
      if (s.entry->field == field) return s.line;
    }
    return 0;
  };
  if (given(&ProductFile::certificate) != given(&ProductFile::key)) {
    const bool hasCertificate = given(&ProductFile::certificate);
    const bool pkcs12 = hasCertificate && (product.certificate.ends_with(".p12") || product.certificate.ends_with(".pfx") ||
                                           product.certificate.ends_with(".P12") || product.certificate.ends_with(".PFX"));
    if (!pkcs12) {
      fail(lineOf(hasCertificate ? &ProductFile::certificate : &ProductFile::key),
           hasCertificate ? "[Signing] Certificate" : "[Signing] Key",
           hasCertificate ? "a PEM certificate needs its Key (a .p12 or .pfx file carries its own)"
                          : "a Key without its Certificate");
    }
  }
  if (given(&ProductFile::passwordVariable) && !given(&ProductFile::certificate)) {
    fail(lineOf(&ProductFile::passwordVariable), "[Signing] PasswordVariable", "a password without a Certificate to sign with");
  }

  // Defaults, and paths against the file's folder.
  if (product.folder.empty()) product.folder = product.name;
  if (product.author.empty()) product.author = product.publisher;
  if (product.configFirstLine.empty()) product.configFirstLine = product.name;
  if (product.configPublisher.empty()) product.configPublisher = product.publisher;
  if (product.label.empty()) product.label = DefaultLabel(product.name);
  if (product.target.empty()) product.target = "cd";
  for (std::string* field : {&product.product, &product.mainProgram, &product.uninstaller, &product.system,
                             &product.fonts, &product.pictures, &product.certificate, &product.key}) {
    if (!field->empty()) *field = Utf8Of(Resolve(path, *field).lexically_normal());
  }
  std::stable_sort(result.errors.begin(), result.errors.end(),
                   [](const ProductFileError& a, const ProductFileError& b) { return a.line < b.line; });
  return result;
}

void CheckProductPaths(ProductFileResult& result) {
  const ProductFile& product = result.product;
  for (const KnownKey& entry : kKeys) {
    if (!entry.field || (entry.kind != Kind::Folder && entry.kind != Kind::File)) continue;
    const std::string& value = product.*(entry.field);
    const std::string canonical = "[" + std::string(entry.section) + "] " + entry.key;
    const auto line = std::find_if(result.keyLines.begin(), result.keyLines.end(),
                                   [&](const auto& k) { return k.first == canonical; });
    // Not given (a default), or already reported as a bad value.
    if (value.empty() || line == result.keyLines.end()) continue;
    if (std::any_of(result.errors.begin(), result.errors.end(), [&](const ProductFileError& e) { return e.key == canonical; })) continue;
    std::error_code error;
    const fs::file_status status = fs::status(FsPath(value), error);
    std::string problem;
    if (!fs::exists(status)) {
      problem = "no such " + std::string(entry.kind == Kind::Folder ? "folder" : "file") + ": " + value;
    } else if (entry.kind == Kind::Folder && !fs::is_directory(status)) {
      problem = "not a folder: " + value;
    } else if (entry.kind == Kind::File && !fs::is_regular_file(status)) {
      problem = "not a file: " + value;
    }
    if (!problem.empty()) result.errors.push_back({product.path, line->second, canonical, problem});
  }
  std::stable_sort(result.errors.begin(), result.errors.end(),
                   [](const ProductFileError& a, const ProductFileError& b) { return a.line < b.line; });
}

ProductFileResult ReadProductFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    ProductFileResult result;
    result.product.path = path;
    result.errors.push_back({path, 0, "", "cannot read the product file"});
    return result;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ProductFileResult result = ParseProductFile(text, path);
  CheckProductPaths(result);
  return result;
}

}  // namespace mediatool
