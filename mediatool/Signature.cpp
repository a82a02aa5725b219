// Authenticode signatures, read with a DER reader of our own (mediatool is also built with
// mingw, where there is no OpenSSL). Every length is held against what contains it, so damaged
// certificate data gives a reason, never a read outside the file.
#include "mediatool/Signature.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/platform/Unicode.h"
#include "mediatool/PeFile.h"
#include "mediatool/Sha256.h"

namespace mediatool {
namespace {

constexpr uint16_t kCertificateRevision2 = 0x0200;
constexpr uint16_t kCertificatePkcsSignedData = 0x0002;

constexpr uint8_t kInteger = 0x02, kOctetString = 0x04, kOid = 0x06, kSequence = 0x30, kSet = 0x31;
constexpr uint8_t kContext0 = 0xA0, kContext1 = 0xA1;

// Object identifiers as their DER content bytes.
constexpr std::string_view kSignedDataOid{"\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 9};
constexpr std::string_view kSpcIndirectDataOid{"\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04", 10};
constexpr std::string_view kCommonNameOid{"\x55\x04\x03", 3};
constexpr std::string_view kOrganizationOid{"\x55\x04\x0A", 3};

struct Algorithm {
  std::string_view oid;
  const char* name;
  size_t digestSize;
};
constexpr std::string_view kSha256Oid{"\x60\x86\x48\x01\x65\x03\x04\x02\x01", 9};
constexpr Algorithm kAlgorithms[] = {
    {kSha256Oid, "SHA-256", 32},
    {{"\x2B\x0E\x03\x02\x1A", 5}, "SHA-1", 20},
    {{"\x60\x86\x48\x01\x65\x03\x04\x02\x02", 9}, "SHA-384", 48},
    {{"\x60\x86\x48\x01\x65\x03\x04\x02\x03", 9}, "SHA-512", 64},
    {{"\x2A\x86\x48\x86\xF7\x0D\x02\x05", 8}, "MD5", 16},
};

// Thrown by the readers below and caught by ReadSignature, which reports its reason.
struct Malformed {
  std::string why;
};

[[noreturn]] void Unreadable(std::string why) { throw Malformed{std::move(why)}; }

struct Element {
  uint8_t tag = 0;
  std::string_view content;
  std::string_view whole;  ///< tag and length included
};

// The elements of one DER content, one after another.
class DerReader {
 public:
  explicit DerReader(std::string_view data) : data_(data) {}

  bool AtEnd() const { return data_.empty(); }
  uint8_t PeekTag() const { return data_.empty() ? 0 : static_cast<uint8_t>(data_[0]); }

  Element Next(const std::string& what) {
    if (data_.size() < 2) Unreadable(what + " is cut short");
    Element e;
    e.tag = static_cast<uint8_t>(data_[0]);
    // Authenticode uses only one-byte tags; anything else is not a signature we can read.
    if ((e.tag & 0x1F) == 0x1F) Unreadable(what + " has a multi-byte tag");
    const uint8_t first = static_cast<uint8_t>(data_[1]);
    size_t header = 2;
    uint64_t length = first;
    if (first == 0x80) Unreadable(what + " has an indefinite length, which DER does not allow");
    if (first > 0x80) {
      const size_t count = first & 0x7F;
      if (count > 4) Unreadable(what + " has a length of " + std::to_string(count) + " bytes");
      if (data_.size() < header + count) Unreadable(what + " is cut short");
      length = 0;
      for (size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<uint8_t>(data_[header + i]);
      header += count;
    }
    if (length > data_.size() - header) {
      Unreadable(what + " is cut short (" + std::to_string(length) + " bytes, " +
                 std::to_string(data_.size() - header) + " left)");
    }
    e.content = data_.substr(header, length);
    e.whole = data_.substr(0, header + length);
    data_.remove_prefix(header + length);
    return e;
  }

  Element Expect(uint8_t tag, const std::string& what) {
    if (AtEnd()) Unreadable(what + " is missing");
    const Element e = Next(what);
    if (e.tag != tag) Unreadable(what + " is not where it belongs (tag " + std::to_string(e.tag) + ")");
    return e;
  }

 private:
  std::string_view data_;
};

std::string DottedOid(std::string_view oid) {
  std::string text;
  uint64_t value = 0;
  bool first = true;
  for (size_t i = 0; i < oid.size(); ++i) {
    const uint8_t byte = static_cast<uint8_t>(oid[i]);
    if (value > (UINT64_MAX >> 7)) Unreadable("an object identifier too large to read");
    value = (value << 7) | (byte & 0x7F);
    if (byte & 0x80) continue;
    if (first) {
      const uint64_t top = value < 80 ? value / 40 : 2;
      text = std::to_string(top) + "." + std::to_string(value - 40 * top);
      first = false;
    } else {
      text += '.';
      text += std::to_string(value);
    }
    value = 0;
  }
  if (first || (static_cast<uint8_t>(oid.back()) & 0x80)) Unreadable("an object identifier is cut short");
  return text;
}

// A name's text as UTF-8, with anything that would break a report line replaced.
std::string Clean(const std::string& text) {
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    if (!installer::NextCodePoint(text, pos, c, true) || c < 0x20 || c == 0x7F) c = installer::kReplacementCharacter;
    installer::AppendUtf8(out, c);
  }
  return out;
}

// The DirectoryString types a certificate's name uses.
std::string DecodeString(const Element& e) {
  std::string text;
  switch (e.tag) {
    case 0x0C:  // UTF8String
      return Clean(std::string(e.content));
    case 0x12: case 0x13: case 0x16: case 0x1A:  // Numeric, Printable, IA5, Visible: ASCII
      for (const char c : e.content) {
        installer::AppendUtf8(text, static_cast<uint8_t>(c) < 0x80 ? static_cast<char32_t>(c)
                                                                   : installer::kReplacementCharacter);
      }
      return Clean(text);
    case 0x14:  // T61String, read as Latin-1 as most tools do
      for (const char c : e.content) installer::AppendUtf8(text, static_cast<uint8_t>(c));
      return Clean(text);
    case 0x1E: {  // BMPString: UTF-16, big-endian
      if (e.content.size() % 2 != 0) Unreadable("the signer's name is an odd number of UTF-16 bytes");
      std::u16string units;
      for (size_t i = 0; i < e.content.size(); i += 2) {
        units += static_cast<char16_t>((static_cast<uint8_t>(e.content[i]) << 8) | static_cast<uint8_t>(e.content[i + 1]));
      }
      return Clean(installer::Utf16ToUtf8(std::u16string_view(units)));
    }
    case 0x1C:  // UniversalString: UCS-4, big-endian
      if (e.content.size() % 4 != 0) Unreadable("the signer's name is not whole UCS-4 characters");
      for (size_t i = 0; i < e.content.size(); i += 4) {
        char32_t c = 0;
        for (size_t k = 0; k < 4; ++k) c = (c << 8) | static_cast<uint8_t>(e.content[i + k]);
        installer::AppendUtf8(text, c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF) ? c : installer::kReplacementCharacter);
      }
      return Clean(text);
  }
  Unreadable("the signer's name is of an unknown string type (tag " + std::to_string(e.tag) + ")");
}

// The commonName of a certificate's subject, its organizationName when it has no commonName.
std::string SubjectName(std::string_view subject) {
  std::string commonName, organization;
  bool hasCommonName = false, hasOrganization = false;
  DerReader names(subject);
  while (!names.AtEnd()) {
    DerReader set(names.Expect(kSet, "a part of the signer's name").content);
    while (!set.AtEnd()) {
      DerReader pair(set.Expect(kSequence, "an attribute of the signer's name").content);
      const Element type = pair.Expect(kOid, "an attribute type of the signer's name");
      if (pair.AtEnd()) Unreadable("an attribute of the signer's name has no value");
      const Element value = pair.Next("an attribute value of the signer's name");
      // The first of each, as Windows shows it.
      if (type.content == kCommonNameOid && !hasCommonName) {
        commonName = DecodeString(value);
        hasCommonName = true;
      } else if (type.content == kOrganizationOid && !hasOrganization) {
        organization = DecodeString(value);
        hasOrganization = true;
      }
    }
  }
  if (hasCommonName) return commonName;
  if (hasOrganization) return organization;
  Unreadable("the signer's certificate names neither a common name nor an organization");
}

// The PKCS#7 SignedData of an Authenticode signature: the digest it signs, and the signer.
void ReadSignedData(std::string_view der, SignatureInfo& info) {
  DerReader outer(der);
  DerReader contentInfo(outer.Expect(kSequence, "the PKCS#7 content info").content);
  if (contentInfo.Expect(kOid, "the PKCS#7 content type").content != kSignedDataOid) {
    Unreadable("the certificate is not PKCS#7 signed data");
  }
  DerReader explicitData(contentInfo.Expect(kContext0, "the signed data").content);
  DerReader signedData(explicitData.Expect(kSequence, "the signed data").content);
  signedData.Expect(kInteger, "the signed data's version");
  signedData.Expect(kSet, "the digest algorithms");

  DerReader content(signedData.Expect(kSequence, "the signed content").content);
  if (content.Expect(kOid, "the signed content's type").content != kSpcIndirectDataOid) {
    Unreadable("the signed content is not Authenticode's (SpcIndirectDataContent)");
  }
  DerReader explicitContent(content.Expect(kContext0, "the SpcIndirectDataContent").content);
  DerReader indirect(explicitContent.Expect(kSequence, "the SpcIndirectDataContent").content);
  indirect.Expect(kSequence, "the SpcIndirectDataContent's data");
  DerReader digestInfo(indirect.Expect(kSequence, "the signed digest").content);
  DerReader algorithm(digestInfo.Expect(kSequence, "the digest algorithm").content);
  const std::string_view oid = algorithm.Expect(kOid, "the digest algorithm").content;
  info.signedDigest = std::string(digestInfo.Expect(kOctetString, "the signed digest").content);
  const auto known = std::find_if(std::begin(kAlgorithms), std::end(kAlgorithms),
                                  [&](const Algorithm& a) { return a.oid == oid; });
  info.digestAlgorithm = known != std::end(kAlgorithms) ? known->name : DottedOid(oid);
  if (known != std::end(kAlgorithms) && info.signedDigest.size() != known->digestSize) {
    Unreadable("a " + info.digestAlgorithm + " digest of " + std::to_string(info.signedDigest.size()) + " bytes");
  }

  std::vector<std::string_view> certificates;
  if (signedData.PeekTag() == kContext0) {
    DerReader list(signedData.Next("the certificates").content);
    while (!list.AtEnd()) {
      const Element certificate = list.Next("a certificate");
      if (certificate.tag == kSequence) certificates.push_back(certificate.content);
    }
  }
  if (signedData.PeekTag() == kContext1) signedData.Next("the revocation lists");
  DerReader signers(signedData.Expect(kSet, "the signer infos").content);
  if (signers.AtEnd()) Unreadable("the signature has no signer");
  DerReader signer(signers.Expect(kSequence, "the signer info").content);
  signer.Expect(kInteger, "the signer info's version");
  if (signer.PeekTag() == 0x80) {
    Unreadable("the signer is named by a key identifier, not by issuer and serial number");
  }
  DerReader id(signer.Expect(kSequence, "the signer's issuer and serial number").content);
  const Element issuer = id.Expect(kSequence, "the signer's issuer");
  const Element serial = id.Expect(kInteger, "the signer's serial number");

  for (const std::string_view certificate : certificates) {
    DerReader outerCertificate(certificate);
    DerReader body(outerCertificate.Expect(kSequence, "a certificate's body").content);
    if (body.PeekTag() == kContext0) body.Next("a certificate's version");
    const Element certificateSerial = body.Expect(kInteger, "a certificate's serial number");
    body.Expect(kSequence, "a certificate's signature algorithm");
    const Element certificateIssuer = body.Expect(kSequence, "a certificate's issuer");
    if (certificateSerial.content != serial.content || certificateIssuer.whole != issuer.whole) continue;
    body.Expect(kSequence, "the signer certificate's validity");
    info.signer = SubjectName(body.Expect(kSequence, "the signer certificate's subject").content);
    return;
  }
  Unreadable("the signer's certificate is not among the signature's " + std::to_string(certificates.size()) +
             " certificates");
}

// Little-endian fields of a WIN_CERTIFICATE; the caller has checked they lie in the file.
uint16_t U16(const std::string& bytes, uint64_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

uint32_t U32(const std::string& bytes, uint64_t at) {
  return U16(bytes, at) | (uint32_t{U16(bytes, at + 2)} << 16);
}

}  // namespace

std::string AuthenticodeSha256(const std::string& bytes) {
  const PeInfo pe = ReadPe(bytes);
  if (pe.checksumOffset == 0) return "";
  // Authenticode hashes the headers, the sections in file order and what follows them; for the
  // contiguous file a linker writes (and osslsigncode hashes) that is the file read straight
  // through with three holes. Bytes after the certificate table count, so data appended after
  // signing shows as a change.
  std::vector<std::pair<uint64_t, uint64_t>> holes = {{pe.checksumOffset, 4}};
  if (pe.certificateEntryOffset != 0) {
    holes.emplace_back(pe.certificateEntryOffset, 8);
    if (pe.certificateOffset != 0 && pe.certificateSize != 0) holes.emplace_back(pe.certificateOffset, pe.certificateSize);
  }
  std::sort(holes.begin(), holes.end());
  Sha256 hash;
  uint64_t at = 0;
  for (const auto& [start, size] : holes) {
    const uint64_t from = std::min<uint64_t>(start, bytes.size());
    if (from > at) hash.Update(std::string_view(bytes).substr(at, from - at));
    at = std::max(at, std::min<uint64_t>(start + size, bytes.size()));
  }
  if (at < bytes.size()) hash.Update(std::string_view(bytes).substr(at));
  return hash.Final();
}

SignatureInfo ReadSignature(const std::string& bytes) {
  SignatureInfo info;
  const PeInfo pe = ReadPe(bytes);
  try {
    if (pe.checksumOffset == 0) Unreadable(pe.error.empty() ? "damaged PE header" : pe.error);
    if (pe.certificateEntryOffset == 0 || (pe.certificateOffset == 0 && pe.certificateSize == 0)) return info;
    const uint64_t offset = pe.certificateOffset, size = pe.certificateSize;
    if (offset == 0 || size == 0) {
      Unreadable("the certificate table entry is damaged (offset " + std::to_string(offset) + ", size " +
                 std::to_string(size) + ")");
    }
    if (offset > bytes.size() || size > bytes.size() - offset) {
      Unreadable("the certificate table (" + std::to_string(size) + " bytes at offset " + std::to_string(offset) +
                 ") runs past the end of the file (" + std::to_string(bytes.size()) + " bytes)");
    }
    // WIN_CERTIFICATE records, each on an 8-byte boundary: length, revision, type, contents.
    std::string_view signedData;
    const uint64_t end = offset + size;
    for (uint64_t at = offset; at < end && signedData.empty();) {
      if (end - at < 8) Unreadable("a certificate record is cut short");
      const uint32_t length = U32(bytes, at);
      const uint16_t revision = U16(bytes, at + 4);
      const uint16_t type = U16(bytes, at + 6);
      if (length < 8 || length > end - at) {
        Unreadable("a certificate record's length (" + std::to_string(length) + ") does not fit the table");
      }
      if (type == kCertificatePkcsSignedData) {
        if (revision != kCertificateRevision2) {
          Unreadable("a certificate record of revision " + std::to_string(revision >> 8) + "." +
                     std::to_string(revision & 0xFF) + ", which Windows does not read");
        }
        signedData = std::string_view(bytes).substr(at + 8, length - 8);
        if (signedData.empty()) Unreadable("an empty PKCS#7 certificate record");
      }
      at += (uint64_t{length} + 7) & ~uint64_t{7};
    }
    if (signedData.empty()) Unreadable("the certificate table holds no PKCS#7 signed data");
    ReadSignedData(signedData, info);
  } catch (const Malformed& e) {
    info = SignatureInfo{};
    info.state = SignatureInfo::State::Unreadable;
    info.error = e.why;
    return info;
  }
  info.state = SignatureInfo::State::Signed;
  if (info.digestAlgorithm == "SHA-256") {
    info.fileDigest = AuthenticodeSha256(bytes);
    info.compared = true;
    info.matches = info.fileDigest == info.signedDigest;
  }
  return info;
}

std::string DescribeSignature(const SignatureInfo& info) {
  switch (info.state) {
    case SignatureInfo::State::NotSigned: return "not signed";
    case SignatureInfo::State::Unreadable: return "signature unreadable: " + info.error;
    case SignatureInfo::State::Signed: break;
  }
  const std::string by = "signed by \"" + info.signer + "\"";
  if (!info.compared) return by + " (" + info.digestAlgorithm + ", not compared with the file)";
  if (!info.matches) return by + ", but the file was changed after signing";
  return by + " (" + info.digestAlgorithm + ")";
}

}  // namespace mediatool
