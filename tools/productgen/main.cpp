// Reads a product file, reports every problem of it at once, and writes the identity the build
// compiles in:
//   productgen FILE                      check only
//   productgen FILE --header OUT.h       the product's constants as a C++ header
//   productgen FILE --rc OUT.rc          the version resource of setup.exe
//   productgen FILE --get KEY            one value, as the build and the scripts use it
// Exit status: 0 good, 2 a problem (each on standard error with its file, line and key).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "PictureRules.h"
#include "mediatool/Paths.h"
#include "mediatool/ProductFile.h"

using mediatool::FsPath;

namespace {

// A C++ string literal of UTF-8 bytes: printable ASCII as it is, everything else as a
// three-digit octal escape, which cannot run into the next character the way \x does.
std::string CppLiteral(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c >= 0x20 && c < 0x7F && c != '?') {  // no "??" trigraph in old compilers
      out += char(c);
    } else {
      const char octal[] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
      out += octal;
    }
  }
  return out + "\"";
}

// A resource-script string: windres reads it as UTF-8 (code_page 65001), a quote doubled.
std::string RcLiteral(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += "\"\"";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out + "\"";
}

// Writes only when the content changes, so an unchanged product rebuilds nothing.
bool WriteIfChanged(const std::string& path, const std::string& content) {
  {
    std::ifstream in(FsPath(path), std::ios::binary);
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.good() || in.eof()) {
      if (old == content) return true;
    }
  }
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) std::fprintf(stderr, "productgen: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

std::string Header(const mediatool::ProductFile& p) {
  std::string h =
      "// Made by productgen from the product file: the product this build installs.\n"
      "#pragma once\n\n"
      "namespace installer::product {\n\n";
  const std::pair<const char*, const std::string*> fields[] = {
      {"kName", &p.name},           {"kFolder", &p.folder},
      {"kTitle", &p.title},         {"kGroup", &p.group},
      {"kPublisher", &p.publisher}, {"kAuthor", &p.author},
      {"kConfigFirstLine", &p.configFirstLine}, {"kConfigPublisher", &p.configPublisher},
  };
  for (const auto& [name, value] : fields) {
    h += "inline constexpr const char " + std::string(name) + "[] = " + CppLiteral(*value) + ";\n";
  }
  return h + "\n}  // namespace installer::product\n";
}

std::string VersionResource(const mediatool::ProductFile& p) {
  return "// Made by productgen from the product file: the version block of setup.exe, and of\n"
         "// the uninstaller where INSTALLER_UNINSTALLER is defined.\n"
         "#pragma code_page(65001)\n"
         "VS_VERSION_INFO VERSIONINFO\n"
         "FILEVERSION 1,0,0,0\n"
         "PRODUCTVERSION 1,0,0,0\n"
         "FILEOS VOS_NT_WINDOWS32\n"
         "FILETYPE VFT_APP\n"
         "BEGIN\n"
         "  BLOCK \"StringFileInfo\"\n"
         "  BEGIN\n"
         "    BLOCK \"040904B0\"\n"
         "    BEGIN\n"
         "      VALUE \"CompanyName\", " + RcLiteral(p.publisher) + "\n"
         "#ifdef INSTALLER_UNINSTALLER\n"
         "      VALUE \"FileDescription\", " + RcLiteral(p.name + " Uninstall") + "\n"
         "      VALUE \"OriginalFilename\", \"Uninstall.exe\"\n"
         "#else\n"
         "      VALUE \"FileDescription\", " + RcLiteral(p.name + " Setup") + "\n"
         "      VALUE \"OriginalFilename\", \"setup.exe\"\n"
         "#endif\n"
         "      VALUE \"FileVersion\", \"1.0.0.0\"\n"
         "      VALUE \"ProductName\", " + RcLiteral(p.name) + "\n"
         "      VALUE \"ProductVersion\", \"1.0.0.0\"\n"
         "    END\n"
         "  END\n"
         "  BLOCK \"VarFileInfo\"\n"
         "  BEGIN\n"
         "    VALUE \"Translation\", 0x0409, 1200\n"
         "  END\n"
         "END\n";
}

const std::string* Field(const mediatool::ProductFile& p, const std::string& key) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"name", &p.name}, {"folder", &p.folder}, {"title", &p.title}, {"group", &p.group},
      {"publisher", &p.publisher}, {"author", &p.author}, {"configfirstline", &p.configFirstLine},
      {"configpublisher", &p.configPublisher}, {"product", &p.product}, {"mainprogram", &p.mainProgram},
      {"uninstaller", &p.uninstaller}, {"system", &p.system}, {"fonts", &p.fonts},
      {"pictures", &p.pictures}, {"label", &p.label}, {"target", &p.target},
      {"certificate", &p.certificate}, {"key", &p.key}, {"passwordvariable", &p.passwordVariable},
  };
  std::string lower;
  for (const char c : key) lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  for (const auto& [name, value] : fields) {
    if (lower == name) return value;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]).rfind("--", 0) == 0) {
    std::fputs("usage: productgen FILE [--header OUT.h] [--rc OUT.rc] [--get KEY]\n", stderr);
    return 2;
  }
  mediatool::ProductFileResult result = mediatool::ReadProductFile(argv[1]);
  // A vendor's own pictures meet the rules the generated ones do: one error per picture and rule.
  if (result.ok() && !result.product.pictures.empty()) {
    int line = 0;
    for (const auto& [key, at] : result.keyLines) {
      if (key == "[Medium] Pictures") line = at;
    }
    for (const assetgen::PictureProblem& p : assetgen::CheckPictures(result.product.pictures)) {
      result.errors.push_back({result.product.path, line, "[Medium] Pictures",
                               p.file + ": " + p.rule + ": " + p.detail});
    }
  }
  for (const mediatool::ProductFileError& error : result.errors) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
  }
  if (!result.ok()) {
    std::fprintf(stderr, "productgen: %zu problem%s in %s; nothing is built\n", result.errors.size(),
                 result.errors.size() == 1 ? "" : "s", argv[1]);
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "productgen: %s needs a value\n", option.c_str());
      return 2;
    }
    const std::string value = argv[++i];
    if (option == "--header") {
      if (!WriteIfChanged(value, Header(result.product))) return 2;
    } else if (option == "--rc") {
      if (!WriteIfChanged(value, VersionResource(result.product))) return 2;
    } else if (option == "--get") {
      const std::string* field = Field(result.product, value);
      if (!field) {
        std::fprintf(stderr, "productgen: no value \"%s\"\n", value.c_str());
        return 2;
      }
      std::fwrite(field->data(), 1, field->size(), stdout);
    } else {
      std::fprintf(stderr, "productgen: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  return 0;
}
