// Writing SYSTEM.TXT and FONT.TXT so that the installer reads back exactly these lines.
#pragma once

#include <string>
#include <vector>

namespace mediatool {

/// The bytes of a list file: code page 1256 when every line fits it and the installer will
/// read those bytes as code page 1256; otherwise UTF-8 with a byte-order mark. Lines end in
/// CR LF.
std::string EncodeListFile(const std::vector<std::string>& lines);

/// The bytes of uninstall.lst: UTF-8 with a byte-order mark, a comment naming the product,
/// then one path per line, CR LF.
std::string EncodeUninstallList(const std::string& productName, const std::vector<std::string>& paths);
/// Its paths back: comments and blank lines skipped, LF alone taken as well as CR LF.
std::vector<std::string> DecodeUninstallList(const std::string& bytes);

}  // namespace mediatool
