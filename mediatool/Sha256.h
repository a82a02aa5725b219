// SHA-256 of our own: mediatool is also built with mingw for Windows, where there is no
// OpenSSL to hash with, and the signature check needs the digest of a whole program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mediatool {

class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  /// The 32-byte digest; the object is spent afterwards.
  std::string Final();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  ///< bytes seen so far
};

/// The digest of `bytes` in one call.
std::string Sha256Of(std::string_view bytes);

/// Lower-case hexadecimal of any bytes (for reports and tests).
std::string Hex(std::string_view bytes);

}  // namespace mediatool
