// The SHA-256 underneath the signature check.
#include <gtest/gtest.h>

#include <string>

#include "mediatool/Sha256.h"

namespace mediatool {
namespace {

TEST(Sha256Test, KnownVectorsWholeAndInPieces) {
  const struct {
    const char* what;
    std::string input;
    const char* digest;
  } cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the block, so the padding takes a second one
      {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      // the last lengths whose padding fits one block, and one whole block (Python's hashlib)
      {"55 a", std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {"63 a", std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {"64 a", std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Hex(Sha256Of(c.input)), c.digest);
    // Fed in pieces that straddle the 64-byte block every way.
    for (const size_t piece : {1, 7, 63, 64, 65, 1000}) {
      Sha256 hash;
      for (size_t at = 0; at < c.input.size(); at += piece) hash.Update(std::string_view(c.input).substr(at, piece));
      EXPECT_EQ(Hex(hash.Final()), c.digest) << "pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace mediatool
