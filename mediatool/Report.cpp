// The check's result as text for the terminal and as JSON for scripts; both carry the same
// plan and the same warnings.
#include <cstdio>

#include "mediatool/Check.h"
#include "mediatool/Sha256.h"

namespace mediatool {
namespace {

std::string Bytes(int64_t size) {
  // Thousands grouped, as a vendor compares them with a file manager's figures.
  std::string digits = std::to_string(size);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out + (size == 1 ? " byte" : " bytes");
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

void Line(std::string& out, const std::string& text) { out += text + "\n"; }

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

class JsonList {
 public:
  explicit JsonList(std::string& out) : out_(out) { out_ += "["; }
  void Item(const std::string& json) {
    out_ += first_ ? "\n    " : ",\n    ";
    out_ += json;
    first_ = false;
  }
  void End() { out_ += first_ ? "]" : "\n  ]"; }

 private:
  std::string& out_;
  bool first_ = true;
};

std::string FileJson(const PlanFile& f) {
  return "{\"path\": " + Json(f.path) + ", \"type\": " + (f.folder ? "\"folder\"" : "\"file\"") +
         (f.folder ? "" : ", \"size\": " + std::to_string(f.size)) + "}";
}

std::string ValueJson(const PlanValue& v) {
  return "{\"key\": " + Json(v.key) + ", \"name\": " + Json(v.name) + ", \"data\": " + Json(v.data) + "}";
}

std::string SignatureJson(const PlanSignature& s) {
  const SignatureInfo& info = s.signature;
  const bool isSigned = info.state == SignatureInfo::State::Signed;
  const char* state = isSigned ? "\"signed\""
                      : info.state == SignatureInfo::State::Unreadable ? "\"unreadable\""
                                                                       : "\"not-signed\"";
  return "{\"file\": " + Json(s.file) + ", \"state\": " + state +
         ", \"signer\": " + (isSigned ? Json(info.signer) : "null") +
         ", \"digest_algorithm\": " + (isSigned ? Json(info.digestAlgorithm) : "null") +
         ", \"signed_digest\": " + (isSigned ? Json(Hex(info.signedDigest)) : "null") +
         ", \"file_digest\": " + (info.compared ? Json(Hex(info.fileDigest)) : "null") +
         ", \"digest_matches\": " + (info.compared ? (info.matches ? "true" : "false") : "null") +
         ", \"error\": " + (info.state == SignatureInfo::State::Unreadable ? Json(info.error) : "null") +
         ", \"text\": " + Json(DescribeSignature(info)) + "}";
}

}  // namespace

std::string FormatText(const CheckResult& result) {
  const Plan& plan = result.plan;
  std::string out;
  Line(out, "medium " + result.options.medium + (result.options.target == Target::Cd ? " as a CD" : " as an NTFS copy") +
                "; setup.exe for " + plan.setupMachine);
  for (const PlanSignature& s : plan.signatures) Line(out, s.file + ": " + DescribeSignature(s.signature));
  if (!plan.installDir.empty()) {
    size_t files = 0;
    for (const PlanFile& f : plan.installed) files += f.folder ? 0 : 1;
    Line(out, "");
    Line(out, "installation folder " + plan.installDir + " (" + std::to_string(files) + " files, " +
                  std::to_string(plan.installed.size() - files) + " folders)");
    for (const PlanFile& f : plan.installed) {
      Line(out, f.folder ? "  folder " + f.path : "  file   " + f.path + "  " + Bytes(f.size));
    }
    Line(out, "space check: the product is " + Bytes(plan.totalSize) + " (gauge maximum " +
                  std::to_string(plan.progressMaximum) + "); the installer needs that much free on " +
                  plan.installDir.substr(0, 2) +
                  (result.options.freeBytes >= 0
                       ? ", which has " + Bytes(plan.freeBytes) + ": " +
                             (plan.freeBytes >= plan.totalSize && plan.freeBytes != 1 ? "passes" : "fails")
                       : std::string()));
    if (plan.discRuns >= 0) {
      Line(out, "disc image " + result.options.image + ": the installer reads it in " +
                    std::to_string(plan.discRuns) + (plan.discRuns == 1 ? " run" : " runs") + " (" +
                    std::to_string(plan.discFiles) + " files with data, " + std::to_string(plan.discJumps) +
                    " jumps, " + std::to_string(plan.discBackward) + " of them backwards)");
    }
    Line(out, "");
    Line(out, "system files copied into " + plan.systemDir + ": " + std::to_string(plan.systemFiles.size()));
    for (const PlanFile& f : plan.systemFiles) Line(out, "  file   " + f.path + "  " + Bytes(f.size));
    Line(out, "components registered (DllRegisterServer called): " + std::to_string(plan.registered.size()));
    for (const std::string& path : plan.registered) Line(out, "  " + path);
    Line(out, "");
    Line(out, "fonts copied into " + plan.fontsDir + ": " + std::to_string(plan.fontFiles.size()));
    for (const PlanFile& f : plan.fontFiles) Line(out, "  file   " + f.path + "  " + Bytes(f.size));
    Line(out, "font values (REG_SZ): " + std::to_string(plan.fontValues.size()));
    for (const PlanValue& v : plan.fontValues) {
      Line(out, "  " + v.key + "  " + (v.name.empty() ? "(default)" : Quote(v.name)) + " = " + Quote(v.data));
    }
    Line(out, "");
    if (plan.hasInstallCfg) {
      Line(out, "INSTALL.CFG in " + plan.installDir + " (code page 1256):");
      for (size_t i = 0; i < plan.installCfg.size(); ++i) {
        Line(out, "  " + std::to_string(i + 1) + ": " + plan.installCfg[i]);
      }
    } else {
      Line(out, "INSTALL.CFG: not written (no uninstall.DAT)");
    }
    Line(out, "shortcuts: " + std::to_string(plan.shortcuts.size()));
    for (const PlanLink& link : plan.shortcuts) {
      Line(out, "  " + link.path + " -> " + link.target + " (in " + link.workingDirectory + ")");
    }
    Line(out, "uninstall entry HKLM\\" + plan.uninstallKey + ":");
    for (const PlanValue& v : plan.uninstallValues) Line(out, "  " + v.name + " = " + Quote(v.data));
    for (const std::string& other : plan.otherFiles) Line(out, "also written: " + other);
    if (!plan.completed) Line(out, "the installation stops: " + plan.stoppedBy);
  }
  const auto& items = result.diagnostics.items;
  size_t errors = 0;
  for (const Diagnostic& item : items) errors += item.severity == Severity::Error ? 1 : 0;
  Line(out, "");
  Line(out, std::to_string(items.size() - errors) + " warnings, " + std::to_string(errors) + " errors");
  for (const Diagnostic& item : items) {
    Line(out, std::string(item.severity == Severity::Error ? "error: " : "warning: ") +
                  (item.file.empty() ? "" : item.file + ": ") + item.message);
  }
  return out;
}

std::string FormatJson(const CheckResult& result) {
  const Plan& plan = result.plan;
  std::string out = "{\n";
  auto field = [&](const char* name, const std::string& json, bool last = false) {
    out += "  \"" + std::string(name) + "\": " + json + (last ? "\n" : ",\n");
  };
  field("medium", Json(result.options.medium));
  field("target", result.options.target == Target::Cd ? "\"cd\"" : "\"ntfs\"");
  field("setup_machine", Json(plan.setupMachine));
  out += "  \"signatures\": ";
  JsonList signatures(out);
  for (const PlanSignature& s : plan.signatures) signatures.Item(SignatureJson(s));
  signatures.End();
  out += ",\n";
  field("disc", plan.discRuns < 0 ? "null"
                                  : "{\"image\": " + Json(result.options.image) + ", \"runs\": " +
                                        std::to_string(plan.discRuns) + ", \"files\": " +
                                        std::to_string(plan.discFiles) + ", \"jumps\": " +
                                        std::to_string(plan.discJumps) + ", \"backward\": " +
                                        std::to_string(plan.discBackward) + "}");
  field("completed", plan.completed ? "true" : "false");
  field("stopped_by", plan.completed ? "null" : Json(plan.stoppedBy));
  field("install_dir", Json(plan.installDir));
  out += "  \"installed\": ";
  JsonList installed(out);
  for (const PlanFile& f : plan.installed) installed.Item(FileJson(f));
  installed.End();
  out += ",\n";
  field("total_size", std::to_string(plan.totalSize));
  field("progress_maximum", std::to_string(plan.progressMaximum));
  field("free_bytes", result.options.freeBytes >= 0 ? std::to_string(plan.freeBytes) : "null");
  field("system_dir", Json(plan.systemDir));
  out += "  \"system_files\": ";
  JsonList system(out);
  for (const PlanFile& f : plan.systemFiles) system.Item(FileJson(f));
  system.End();
  out += ",\n  \"registered\": ";
  JsonList registered(out);
  for (const std::string& path : plan.registered) registered.Item(Json(path));
  registered.End();
  out += ",\n";
  field("fonts_dir", Json(plan.fontsDir));
  out += "  \"font_files\": ";
  JsonList fonts(out);
  for (const PlanFile& f : plan.fontFiles) fonts.Item(FileJson(f));
  fonts.End();
  out += ",\n  \"font_values\": ";
  JsonList values(out);
  for (const PlanValue& v : plan.fontValues) values.Item(ValueJson(v));
  values.End();
  out += ",\n  \"install_cfg\": ";
  if (plan.hasInstallCfg) {
    JsonList cfg(out);
    for (const std::string& line : plan.installCfg) cfg.Item(Json(line));
    cfg.End();
  } else {
    out += "null";
  }
  out += ",\n  \"shortcuts\": ";
  JsonList links(out);
  for (const PlanLink& link : plan.shortcuts) {
    links.Item("{\"path\": " + Json(link.path) + ", \"target\": " + Json(link.target) +
               ", \"working_directory\": " + Json(link.workingDirectory) + "}");
  }
  links.End();
  out += ",\n";
  field("uninstall_key", Json("HKLM\\" + plan.uninstallKey));
  out += "  \"uninstall_values\": ";
  JsonList uninstall(out);
  for (const PlanValue& v : plan.uninstallValues) uninstall.Item(ValueJson(v));
  uninstall.End();
  out += ",\n  \"other_files\": ";
  JsonList other(out);
  for (const std::string& path : plan.otherFiles) other.Item(Json(path));
  other.End();
  out += ",\n  \"diagnostics\": ";
  JsonList diagnostics(out);
  for (const Diagnostic& item : result.diagnostics.items) {
    diagnostics.Item(std::string("{\"severity\": ") +
                     (item.severity == Severity::Error ? "\"error\"" : "\"warning\"") +
                     ", \"kind\": " + Json(item.kind) + ", \"file\": " + Json(item.file) +
                     ", \"message\": " + Json(item.message) + "}");
  }
  diagnostics.End();
  out += ",\n";
  field("exit_status", std::to_string(result.diagnostics.ExitStatus()), true);
  return out + "}\n";
}

}  // namespace mediatool
