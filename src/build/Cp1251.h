#pragma once

#include <string>
#include <string_view>

namespace vorlune::build {

// windows-1251 bytes as UTF-8; the one byte the code page leaves undefined
// (0x98) becomes U+FFFD. Kept free of Qt so the PHAR compiler need not load
// QtCore and ICU just to read its params file.
std::string cp1251ToUtf8(std::string_view bytes);

} // namespace vorlune::build
