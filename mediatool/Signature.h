// Who signed a Windows program (its Authenticode signature: the PE certificate table's PKCS#7
// SignedData), and whether the program is still the one that was signed. The certificate chain
// and the signature's own cryptography are not verified; osslsigncode verify does that.
#pragma once

#include <string>

namespace mediatool {

struct SignatureInfo {
  enum class State { NotSigned, Signed, Unreadable };
  State state = State::NotSigned;
  std::string error;            ///< why the signature is unreadable
  std::string signer;           ///< the signer certificate's commonName, else its organizationName
  std::string digestAlgorithm;  ///< of the signed digest: "SHA-256", "SHA-1", ... or a dotted OID
  std::string signedDigest;     ///< the digest the signature holds
  std::string fileDigest;       ///< the file's own digest; computed for SHA-256 only
  bool compared = false;        ///< true when the two digests were compared
  bool matches = false;

  bool ChangedAfterSigning() const { return state == State::Signed && compared && !matches; }
};

/// Reads the signature of the PE file `bytes`. Never reads outside `bytes`, whatever they hold.
SignatureInfo ReadSignature(const std::string& bytes);

/// The Authenticode SHA-256 of a PE file: every byte but its checksum field, its certificate
/// table entry and the certificate table. "" when the headers are not usable.
std::string AuthenticodeSha256(const std::string& bytes);

/// The report's words: "signed by "X" (SHA-256)", "not signed", "signature unreadable: why", ...
std::string DescribeSignature(const SignatureInfo& info);

}  // namespace mediatool
