#pragma once

namespace vorlune::base {

// Whether the operating system runs 64-bit programs; chooses between the
// 32-bit and 64-bit PHP binary packs.
bool is64Bit();

} // namespace vorlune::base
