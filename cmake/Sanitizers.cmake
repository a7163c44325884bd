# Sanitizer builds (GCC or Clang):
#   -DTAVRIN_SANITIZE=address   AddressSanitizer with LeakSanitizer and
#                               UndefinedBehaviorSanitizer, plus libstdc++'s
#                               own bounds checks
#   -DTAVRIN_SANITIZE=thread    ThreadSanitizer
# Every target is built with the chosen sanitizer; the benchmarks are left out.
set(TAVRIN_SANITIZE "" CACHE STRING "Sanitizer build: address (ASan+UBSan) or thread (TSan); empty for none")
set_property(CACHE TAVRIN_SANITIZE PROPERTY STRINGS "" address thread)

if(TAVRIN_SANITIZE STREQUAL "")
  return()
endif()
if(MSVC OR CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "TAVRIN_SANITIZE needs a native GCC or Clang build")
endif()

if(TAVRIN_SANITIZE STREQUAL "address")
  set(_tavrin_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
elseif(TAVRIN_SANITIZE STREQUAL "thread")
  set(_tavrin_sanitize_flags -fsanitize=thread)
else()
  message(FATAL_ERROR "TAVRIN_SANITIZE must be address or thread, not '${TAVRIN_SANITIZE}'")
endif()

add_compile_options(${_tavrin_sanitize_flags} -fno-omit-frame-pointer)
add_link_options(${_tavrin_sanitize_flags})
