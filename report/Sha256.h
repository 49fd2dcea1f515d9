// SHA-256 of a text, for the hashes a page's Content-Security-Policy names its own script and style by.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvex {

std::array<uint8_t, 32> Sha256(std::string_view bytes);
// Standard base64 with padding, as CSP's 'sha256-...' sources spell a digest.
std::string Base64(const uint8_t* bytes, size_t count);

}  // namespace morvex
