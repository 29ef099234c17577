#pragma once

#include <string>
#include <string_view>

namespace vorlune::build {

// SHA-256 digest (32 raw bytes). Kept here rather than taken from the crypto
// library because the carried compiler must start in a few milliseconds, and
// loading that library alone takes longer than building a whole archive.
std::string sha256(std::string_view bytes);

} // namespace vorlune::build
