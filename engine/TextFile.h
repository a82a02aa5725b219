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

/// How the bytes of a list file are read as text.
enum class ListEncoding { Cp1256, Utf8 };

/// The encoding of a list file, read through once up to its end or a Ctrl-Z: UTF-8 when the
/// text is well-formed UTF-8 and holds a byte of 0x80 or more (as Notepad saves it, with or
/// without a byte-order mark), code page 1256 otherwise (a text of ASCII alone reads the same
/// either way). Open and read failures raise as TextReader's do.
ListEncoding DetectListEncoding(Platform& platform, const std::string& path);

/// Reads one of the medium's list files (SYSTEM.TXT, FONT.TXT) line by line as UTF-8 text,
/// with TextReader's line rules. A UTF-8 byte-order mark at the start is never part of the
/// first line.
class ListReader {
 public:
  ListReader(Platform& platform, const std::string& path);

  bool Eof() { return reader_.Eof(); }
  std::string ReadLine();
  ListEncoding Encoding() const { return encoding_; }

 private:
  ListEncoding encoding_;  // decided before the reader opens the file
  TextReader reader_;
  bool firstLine_ = true;
};

/// Writes `lines`, each followed by CR LF, into a file created anew (others may read it), as
/// code page 1256 text; a character the code page lacks is written as Windows' best-fit conversion
/// writes it (the Persian yeh as the Arabic yeh, anything else without a look-alike as '?').
/// Failures are not reported: the file is a courtesy for the product, not part of the installation's success.
void WriteTextLines(Platform& platform, const std::string& path,
                    const std::vector<std::string>& lines);

}  // namespace installer
