// Line reading with the list files' rules, and the CR LF writer.
#include "engine/TextFile.h"

#include "engine/Errors.h"
#include "engine/platform/Cp1256.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/Unicode.h"

namespace installer {
namespace {
constexpr size_t kBufferSize = 4096;
// No list line names anything longer than the longest path Windows has (32,767 characters);
// a longer one is a damaged or hostile file, and reading on would only grow the line.
constexpr size_t kMaxLineLength = 32767;
constexpr char kCtrlZ = '\x1A';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

TextReader::TextReader(Platform& platform, const std::string& path)
    : path_(path), buffer_(kBufferSize) {
  OpenResult opened = platform.OpenFile(path, OpenMode::ReadShared);
  if (!opened.stream) RaiseInOutError(opened.error);
  stream_ = std::move(opened.stream);
}

TextReader::~TextReader() = default;

bool TextReader::Fill() {
  if (ended_) return false;
  const int64_t got = stream_->Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  // The system's own code ("I/O error 23" for a CRC error on a scratched disc); a stream
  // that has none to give reads as a read fault.
  if (got < 0) {
    const uint32_t code = stream_->LastError();
    RaiseInOutError(code != 0 ? code : kErrorReadFault);
  }
  pos_ = 0;
  end_ = static_cast<size_t>(got);
  if (got == 0) ended_ = true;
  return got > 0;
}

bool TextReader::Eof() {
  if (pos_ == end_ && !Fill()) return true;
  if (buffer_[pos_] == kCtrlZ) {
    ended_ = true;
    pos_ = end_ = 0;
    return true;
  }
  return false;
}

std::string TextReader::ReadLine() {
  std::string line;
  while (!Eof()) {
    const char* begin = buffer_.data() + pos_;
    const char* limit = buffer_.data() + end_;
    const char* stop = begin;
    while (stop < limit && *stop != '\n' && *stop != kCtrlZ) ++stop;
    // A CR before the LF belongs to the line end, and a CR on its own is dropped: no CR
    // ever reaches the line.
    for (const char* c = begin; c < stop; ++c) {
      if (*c != '\r') line += *c;
    }
    if (line.size() > kMaxLineLength) {
      ended_ = true;
      pos_ = end_ = 0;
      throw InstallError(Format("Line longer than %d characters in \"%s\"",
                                static_cast<int>(kMaxLineLength), path_.c_str()));
    }
    pos_ += static_cast<size_t>(stop - begin);
    if (stop < limit && *stop == '\n') {
      ++pos_;
      break;
    }
  }
  return line;
}

ListEncoding DetectListEncoding(Platform& platform, const std::string& path) {
  OpenResult opened = platform.OpenFile(path, OpenMode::ReadShared);
  if (!opened.stream) RaiseInOutError(opened.error);
  std::vector<char> block(kBufferSize);
  Utf8Validator validator;
  for (;;) {
    const int64_t got = opened.stream->Read(block.data(), static_cast<int64_t>(block.size()));
    if (got < 0) {
      const uint32_t code = opened.stream->LastError();
      RaiseInOutError(code != 0 ? code : kErrorReadFault);
    }
    if (got == 0) break;
    const std::string_view piece(block.data(), static_cast<size_t>(got));
    const size_t ctrlZ = piece.find(kCtrlZ);
    validator.Feed(piece.substr(0, ctrlZ));
    // Past the text's end, or past the first malformed byte, nothing can change the answer.
    if (ctrlZ != std::string_view::npos || validator.Failed()) break;
  }
  return validator.Valid() && validator.SawHighByte() ? ListEncoding::Utf8 : ListEncoding::Cp1256;
}

ListReader::ListReader(Platform& platform, const std::string& path)
    : encoding_(DetectListEncoding(platform, path)), reader_(platform, path) {}

std::string ListReader::ReadLine() {
  std::string line = reader_.ReadLine();
  if (firstLine_) {
    firstLine_ = false;
    if (line.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
      line.erase(0, kByteOrderMark.size());
    }
  }
  return encoding_ == ListEncoding::Utf8 ? line : Cp1256ToUtf8(line);
}

void WriteTextLines(Platform& platform, const std::string& path,
                    const std::vector<std::string>& lines) {
  OpenResult opened = platform.OpenFile(path, OpenMode::CreateShareRead);
  if (!opened.stream) return;
  std::string text;
  for (const std::string& line : lines) text += Utf8ToCp1256BestFit(line) + "\r\n";
  opened.stream->Write(text.data(), static_cast<int64_t>(text.size()));
}

}  // namespace installer
