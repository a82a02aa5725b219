// Plain 8-bit text files: the list files read from the medium and INSTALL.CFG.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/platform/Platform.h"

namespace installer {

/// Reads a text file line by line. A line ends at LF or CR LF; a CR not followed by LF is
/// dropped; a Ctrl-Z byte (0x1A) ends the text; the last line needs no line end. A line of
/// more than 32,767 characters ends the reading with an error. Open and read failures raise
/// the I/O error for the system's code.
class TextReader {
 public:
  TextReader(Platform& platform, const std::string& path);
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  /// True when no character is left before the end of the file or a Ctrl-Z.
  bool Eof();
  /// The next line without its line end; "" at the end of the text.
  std::string ReadLine();

 private:
  bool Fill();  // false at the end of the file

  std::string path_;  // as given, for the error about an overlong line
  std::unique_ptr<FileStream> stream_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool ended_ = false;  // end of file or Ctrl-Z reached
};

/// Writes `lines`, each followed by CR LF, into a file created anew (others may read it).
/// Failures are not reported: the file is a courtesy for the product, not part of the
/// installation's success.
void WriteTextLines(Platform& platform, const std::string& path,
                    const std::vector<std::string>& lines);

}  // namespace installer
