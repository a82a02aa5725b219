// Writing SYSTEM.TXT and FONT.TXT so that the installer reads back exactly these lines.
#pragma once

#include <string>
#include <vector>

namespace mediatool {

/// The bytes of a list file: code page 1256 when every line fits it and the installer will
/// read those bytes as code page 1256; otherwise UTF-8 with a byte-order mark. Lines end in
/// CR LF.
std::string EncodeListFile(const std::vector<std::string>& lines);

}  // namespace mediatool
