// Raising the two errors whose numbers are fixed.
#include "Error.h"

namespace morvex {

void ThrowOutOfRange(const std::string& what) { throw Error(kErrOutOfRange, what); }
void ThrowOverflow(const std::string& what) { throw Error(kErrOverflow, what); }

}  // namespace morvex
