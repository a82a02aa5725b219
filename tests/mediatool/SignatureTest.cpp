// Authenticode signatures as the check reads them: the SHA-256 underneath, which bytes the
// digest covers, who the signer is, and damaged certificate data, which must be refused with
// a reason and never read outside the file. Real signatures: tests/mediatool/signatures.sh.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "mediatool/PeFile.h"
#include "mediatool/Sha256.h"
#include "mediatool/Signature.h"
#include "tests/mediatool/MediaToolTestSupport.h"

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

// --- a signature built from its parts ----------------------------------------------------------

std::string Der(uint8_t tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  const size_t n = content.size();
  if (n < 0x80) {
    out += static_cast<char>(n);
  } else if (n < 0x100) {
    out += "\x81";
    out += static_cast<char>(n);
  } else {
    out += "\x82";
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(n & 0xFF);
  }
  return out + content;
}
std::string Seq(const std::string& content) { return Der(0x30, content); }
std::string Set(const std::string& content) { return Der(0x31, content); }
std::string Oid(const std::string& bytes) { return Der(0x06, bytes); }
std::string Int(const std::string& bytes) { return Der(0x02, bytes); }

const std::string kSignedDataOid("\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 9);
const std::string kSpcIndirectOid("\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04", 10);
const std::string kSpcPeImageOid("\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x0F", 10);
const std::string kSha256Oid("\x60\x86\x48\x01\x65\x03\x04\x02\x01", 9);
const std::string kSha1Oid("\x2B\x0E\x03\x02\x1A", 5);
const std::string kRsaOid("\x2A\x86\x48\x86\xF7\x0D\x01\x01\x0B", 9);
const std::string kCn("\x55\x04\x03", 3), kO("\x55\x04\x0A", 3), kC("\x55\x04\x06", 3);

using Attributes = std::vector<std::pair<std::string, std::string>>;  // type, encoded value

std::string Name(const Attributes& attributes) {
  std::string rdns;
  for (const auto& [type, value] : attributes) rdns += Set(Seq(Oid(type) + value));
  return Seq(rdns);
}

std::string Certificate(const std::string& serial, const std::string& issuer, const std::string& subject) {
  const std::string algorithm = Seq(Oid(kRsaOid) + Der(0x05, ""));
  const std::string body = Seq(Der(0xA0, Int("\x02")) + Int(serial) + algorithm + issuer +
                               Seq(Der(0x17, "260101000000Z") + Der(0x17, "270101000000Z")) + subject +
                               Seq(algorithm + Der(0x03, std::string("\0\x01", 2))));
  return Seq(body + algorithm + Der(0x03, std::string("\0\x02", 2)));
}

struct Parts {
  std::string contentType = kSignedDataOid;
  std::string innerType = kSpcIndirectOid;
  std::string digestOid = kSha256Oid;
  std::string digest;  ///< the signed digest
  std::string caName = Name({{kCn, Der(0x13, "Test CA")}});
  std::string signerSubject = Name({{kC, Der(0x13, "IR")}, {kO, Der(0x0C, "Example Org")},
                                    {kCn, Der(0x0C, "Example Vendor")}});
  std::string signerSerial = "\x11\x22";
  std::vector<std::string> certificates;  ///< "" = the CA's and the signer's
  std::string signerId;                   ///< "" = issuerAndSerialNumber of the signer
  bool noSigner = false;

  std::string Build() const {
    const std::string algorithm = Seq(Oid(digestOid) + Der(0x05, ""));
    const std::string indirect = Seq(Seq(Oid(kSpcPeImageOid) + Seq("")) + Seq(algorithm + Der(0x04, digest)));
    std::string certs;
    if (certificates.empty()) {
      certs = Certificate("\x01", caName, caName) + Certificate(signerSerial, caName, signerSubject);
    } else {
      for (const std::string& c : certificates) certs += c;
    }
    const std::string id = signerId.empty() ? Seq(caName + Int(signerSerial)) : signerId;
    const std::string signerInfo = Seq(Int("\x01") + id + algorithm + Seq(Oid(kRsaOid) + Der(0x05, "")) +
                                       Der(0x04, std::string(16, '\x5A')));
    const std::string signedData = Seq(Int("\x01") + Set(algorithm) +
                                       Seq(Oid(innerType) + Der(0xA0, indirect)) + Der(0xA0, certs) +
                                       Set(noSigner ? "" : signerInfo));
    return Seq(Oid(contentType) + Der(0xA0, signedData));
  }
};

// MakePe's i686 library: optional header at 0x58, so these fields sit at fixed offsets.
constexpr size_t kChecksum = 0x58 + 64;
constexpr size_t kDirectoryCount = 0x58 + 92;
constexpr size_t kCertificateEntry = 0x58 + 96 + 4 * 8;

void Put32(std::string& file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A program as a signing tool sees it: all 16 data directories, padded to 8 bytes.
std::string Unsigned() {
  std::string file = testing::MakePe(kMachineI386, {"Exported"});
  Put32(file, kDirectoryCount, 16);
  file.resize((file.size() + 7) & ~size_t{7}, '\0');
  return file;
}

// `pkcs7` appended as a WIN_CERTIFICATE record of `type` and `revision`, its table entry set.
std::string Signed(const std::string& pkcs7, uint16_t type = 2, uint16_t revision = 0x0200) {
  std::string file = Unsigned();
  std::string record(8, '\0');
  Put32(record, 0, static_cast<uint32_t>(8 + pkcs7.size()));
  Put32(record, 4, revision | (uint32_t{type} << 16));
  record += pkcs7;
  record.resize((record.size() + 7) & ~size_t{7}, '\0');
  Put32(file, kCertificateEntry, static_cast<uint32_t>(file.size()));
  Put32(file, kCertificateEntry + 4, static_cast<uint32_t>(record.size()));
  return file + record;
}

Parts Matching() {
  Parts parts;
  parts.digest = AuthenticodeSha256(Unsigned());
  return parts;
}

TEST(SignatureTest, DigestLeavesOutChecksumEntryAndTableOnly) {
  const std::string plain = Unsigned();
  // Unsigned, the entry is zeros: the digest is the file's without those 12 bytes.
  std::string without = plain;
  without.erase(kCertificateEntry, 8);
  without.erase(kChecksum, 4);
  EXPECT_EQ(AuthenticodeSha256(plain), Sha256Of(without));
  EXPECT_EQ(ReadSignature(plain).state, SignatureInfo::State::NotSigned);

  const std::string file = Signed(Matching().Build());
  EXPECT_EQ(AuthenticodeSha256(file), AuthenticodeSha256(plain)) << "signing must not change the digest";
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
    bool stillMatches;
  } cases[] = {
      {"as signed", [](std::string&) {}, true},
      {"the checksum", [](std::string& f) { f[kChecksum + 3] ^= 0x40; }, true},
      {"the DOS header", [](std::string& f) { f[2] ^= 1; }, false},
      {"the byte before the checksum", [](std::string& f) { f[kChecksum - 1] ^= 1; }, false},
      {"the byte after the certificate entry", [](std::string& f) { f[kCertificateEntry + 8] ^= 1; }, false},
      {"the section's data", [](std::string& f) { f[0x400 + 1] ^= 0x80; }, false},
      {"the padding before the table", [&](std::string& f) { f[plain.size() - 1] ^= 1; }, false},
      {"bytes appended after the table", [](std::string& f) { f += "extra"; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string changed = file;
    c.change(changed);
    const SignatureInfo info = ReadSignature(changed);
    ASSERT_EQ(info.state, SignatureInfo::State::Signed) << info.error;
    EXPECT_TRUE(info.compared);
    EXPECT_EQ(info.matches, c.stillMatches);
    EXPECT_EQ(info.ChangedAfterSigning(), !c.stillMatches);
    EXPECT_EQ(DescribeSignature(info), c.stillMatches ? "signed by \"Example Vendor\" (SHA-256)"
                                                      : "signed by \"Example Vendor\", but the file was changed after signing");
  }
}

TEST(SignatureTest, SignerAndAlgorithmAsTheReportNamesThem) {
  auto bmp = [](const std::u16string& text) {
    std::string bytes;
    for (const char16_t c : text) {
      bytes += static_cast<char>(c >> 8);
      bytes += static_cast<char>(c & 0xFF);
    }
    return Der(0x1E, bytes);
  };
  const struct {
    const char* what;
    std::function<void(Parts&)> change;
    std::string described;
  } cases[] = {
      {"common name after organization", [](Parts&) {}, "signed by \"Example Vendor\" (SHA-256)"},
      {"organization only",
       [](Parts& p) { p.signerSubject = Name({{kC, Der(0x13, "IR")}, {kO, Der(0x13, "Only Org")}}); },
       "signed by \"Only Org\" (SHA-256)"},
      {"a Persian name in UTF-16", [&](Parts& p) { p.signerSubject = Name({{kCn, bmp(u"شرکت")}}); },
       "signed by \"شرکت\" (SHA-256)"},
      {"a T61String read as Latin-1", [](Parts& p) { p.signerSubject = Name({{kCn, Der(0x14, "Caf\xE9")}}); },
       "signed by \"Café\" (SHA-256)"},
      {"a line break in the name cannot break the report line",
       [](Parts& p) { p.signerSubject = Name({{kCn, Der(0x0C, "Evil\nwarning: fake")}}); },
       "signed by \"Evil\xEF\xBF\xBDwarning: fake\" (SHA-256)"},
      {"the first of two common names", [](Parts& p) {
         p.signerSubject = Name({{kCn, Der(0x0C, "First")}, {kCn, Der(0x0C, "Second")}});
       }, "signed by \"First\" (SHA-256)"},
      // regression guard: a certificate with the signer's serial from another issuer is not the signer's
      {"a decoy of the same serial from another issuer", [](Parts& p) {
         const std::string other = Name({{kCn, Der(0x13, "Other CA")}});
         p.certificates = {Certificate(p.signerSerial, other, Name({{kCn, Der(0x13, "Decoy")}})),
                           Certificate("\x01", p.caName, p.caName),
                           Certificate(p.signerSerial, p.caName, p.signerSubject)};
       }, "signed by \"Example Vendor\" (SHA-256)"},
      {"SHA-1, named and not compared", [](Parts& p) {
         p.digestOid = kSha1Oid;
         p.digest = std::string(20, '\x01');
       }, "signed by \"Example Vendor\" (SHA-1, not compared with the file)"},
      {"an algorithm without a name", [](Parts& p) { p.digestOid = std::string("\x2A\x03\x81\x00", 4); },
       "signed by \"Example Vendor\" (1.2.3.128, not compared with the file)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Parts parts = Matching();
    c.change(parts);
    EXPECT_EQ(DescribeSignature(ReadSignature(Signed(parts.Build()))), c.described);
  }
}

TEST(SignatureTest, DamagedCertificateDataIsUnreadableWithItsReason) {
  const struct {
    const char* what;
    std::function<std::string()> file;
    const char* reason;  ///< a part of the reason given
  } cases[] = {
      {"not a program", [] { return std::string("MZ but nothing else"); }, "no MZ header"},
      {"a table past the end of the file", [] {
         std::string f = Signed(Matching().Build());
         Put32(f, kCertificateEntry + 4, 0xFFFFFFF0);
         return f;
       }, "runs past the end of the file"},
      {"a table entry with a size but no offset", [] {
         std::string f = Unsigned();
         Put32(f, kCertificateEntry + 4, 16);
         return f;
       }, "entry is damaged"},
      {"a record length below its header", [] {
         std::string f = Signed(Matching().Build());
         Put32(f, Unsigned().size(), 4);
         return f;
       }, "does not fit the table"},
      {"a record longer than the table", [] {
         std::string f = Signed(Matching().Build());
         Put32(f, Unsigned().size(), 0x7FFFFFFF);
         return f;
       }, "does not fit the table"},
      {"only an X.509 record", [] { return Signed(Matching().Build(), 1); }, "no PKCS#7 signed data"},
      {"a revision 1.0 record", [] { return Signed(Matching().Build(), 2, 0x0100); }, "revision 1.0"},
      {"an indefinite length", [] { return Signed(std::string("\x30\x80\x06\x00\x00\x00", 6)); }, "indefinite length"},
      {"a five-byte length", [] { return Signed(std::string("\x30\x85\x00\x00\x00\x00\x01\x00", 8)); },
       "a length of 5 bytes"},
      {"a length of 4 GB", [] { return Signed(std::string("\x30\x84\xFF\xFF\xFF\xFF\x00", 7)); }, "cut short"},
      {"a multi-byte tag", [] { return Signed(std::string("\x1F\x81\x00\x00", 4)); }, "multi-byte tag"},
      {"not signed data", [] {
         Parts p = Matching();
         p.contentType = kSha1Oid;
         return Signed(p.Build());
       }, "not PKCS#7 signed data"},
      {"not Authenticode's content", [] {
         Parts p = Matching();
         p.innerType = kSignedDataOid;
         return Signed(p.Build());
       }, "not Authenticode's"},
      {"a SHA-256 digest one byte short", [] {
         Parts p = Matching();
         p.digest.pop_back();
         return Signed(p.Build());
       }, "SHA-256 digest of 31 bytes"},
      {"no signer", [] {
         Parts p = Matching();
         p.noSigner = true;
         return Signed(p.Build());
       }, "no signer"},
      {"the signer's certificate missing", [] {
         Parts p = Matching();
         p.certificates = {Certificate("\x01", p.caName, p.caName)};
         return Signed(p.Build());
       }, "not among the signature's 1 certificates"},
      {"a signer named by key identifier", [] {
         Parts p = Matching();
         p.signerId = Der(0x80, std::string(20, '\x07'));
         return Signed(p.Build());
       }, "key identifier"},
      {"a subject without common name or organization", [] {
         Parts p = Matching();
         p.signerSubject = Name({{kC, Der(0x13, "IR")}});
         return Signed(p.Build());
       }, "neither a common name nor an organization"},
      {"a name of an unknown string type", [] {
         Parts p = Matching();
         p.signerSubject = Name({{kCn, Der(0x04, "octets")}});
         return Signed(p.Build());
       }, "unknown string type"},
      {"a UTF-16 name of an odd length", [] {
         Parts p = Matching();
         p.signerSubject = Name({{kCn, Der(0x1E, "abc")}});
         return Signed(p.Build());
       }, "odd number of UTF-16 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SignatureInfo info = ReadSignature(c.file());
    ASSERT_EQ(info.state, SignatureInfo::State::Unreadable) << DescribeSignature(info);
    EXPECT_NE(info.error.find(c.reason), std::string::npos) << info.error;
    EXPECT_EQ(DescribeSignature(info), "signature unreadable: " + info.error);
  }
}

// Every cut of the signed data is refused, and no damaged byte anywhere in it makes the reader
// step outside the file (run under the native-asan preset too).
TEST(SignatureTest, EveryCutAndEveryDamagedByteIsReadSafely) {
  const std::string pkcs7 = Matching().Build();
  for (size_t length = 0; length < pkcs7.size(); ++length) {
    const SignatureInfo info = ReadSignature(Signed(pkcs7.substr(0, length)));
    ASSERT_EQ(info.state, SignatureInfo::State::Unreadable) << "cut at " << length;
    EXPECT_FALSE(info.error.empty());
  }
  int readable = 0;
  for (size_t at = 0; at < pkcs7.size(); ++at) {
    for (const char value : {'\x00', '\x80', '\xFF'}) {
      std::string damaged = pkcs7;
      damaged[at] = value;
      const SignatureInfo info = ReadSignature(Signed(damaged));
      EXPECT_TRUE(info.state == SignatureInfo::State::Signed || !info.error.empty()) << at;
      readable += info.state == SignatureInfo::State::Signed ? 1 : 0;
    }
  }
  // The key and signature bytes, and the signed digest, are not checked here: damage there reads.
  EXPECT_GT(readable, 0);
}

}  // namespace
}  // namespace mediatool
