# Compiler settings every target of the project links.
add_library(vorlune_common INTERFACE)
target_compile_options(vorlune_common INTERFACE -Wall -Wextra)
target_compile_definitions(vorlune_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_KEYWORDS)
if(VORLUNE_SANITIZE)
  target_compile_options(vorlune_common INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vorlune_common INTERFACE -fsanitize=address,undefined)
endif()
if(VORLUNE_FUZZ)
  # Coverage for libFuzzer on everything; the fuzz targets add its main.
  # The library assertions turn an index out of range into a crash.
  target_compile_options(vorlune_common INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_definitions(vorlune_common INTERFACE _GLIBCXX_ASSERTIONS)
  target_link_options(vorlune_common INTERFACE -fsanitize=address,undefined)
endif()
