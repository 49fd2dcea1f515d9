// A finding's fingerprint, from its fields.
#include "Fingerprint.h"

namespace morvex {

std::string FindingFingerprint(const FindingsList& findings, int32_t index, bool bShowAll) {
  return FingerprintOf(IdentityOf(findings, index, bShowAll));
}

}  // namespace morvex
