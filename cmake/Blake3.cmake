# The BLAKE3 C library: a system libblake3 when pkg-config knows one, else a
# static library compiled from the C sources that Debian ships in
# librust-blake3-dev, with the x86-64 assembly kernels and the dispatcher.
# Either way the result is the target corvane::blake3.

pkg_check_modules(BLAKE3 QUIET IMPORTED_TARGET libblake3)
if(BLAKE3_FOUND)
  add_library(corvane::blake3 ALIAS PkgConfig::BLAKE3)
  message(STATUS "BLAKE3: system libblake3 ${BLAKE3_VERSION}")
  return()
endif()

file(GLOB _blake3_dirs LIST_DIRECTORIES true "/usr/share/cargo/registry/blake3-*/c")
set(BLAKE3_SOURCE_DIR "" CACHE PATH "Directory holding the BLAKE3 C sources (blake3.c, blake3.h)")
if(NOT BLAKE3_SOURCE_DIR)
  foreach(_dir IN LISTS _blake3_dirs)
    if(EXISTS "${_dir}/blake3.c")
      set(BLAKE3_SOURCE_DIR "${_dir}")
    endif()
  endforeach()
endif()
if(NOT BLAKE3_SOURCE_DIR OR NOT EXISTS "${BLAKE3_SOURCE_DIR}/blake3.c")
  message(FATAL_ERROR
    "The BLAKE3 C library was not found: no system libblake3 (pkg-config) and no C sources "
    "under /usr/share/cargo/registry/blake3-*/c. Install the Debian package librust-blake3-dev "
    "(apt-get install librust-blake3-dev) or set BLAKE3_SOURCE_DIR.")
endif()
message(STATUS "BLAKE3: building from ${BLAKE3_SOURCE_DIR}")

set(_b3 "${BLAKE3_SOURCE_DIR}")
add_library(corvane_blake3 STATIC
  ${_b3}/blake3.c
  ${_b3}/blake3_dispatch.c
  ${_b3}/blake3_portable.c)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64")
  enable_language(ASM)
  target_sources(corvane_blake3 PRIVATE
    ${_b3}/blake3_sse2_x86-64_unix.S
    ${_b3}/blake3_sse41_x86-64_unix.S
    ${_b3}/blake3_avx2_x86-64_unix.S
    ${_b3}/blake3_avx512_x86-64_unix.S)
else()
  target_compile_definitions(corvane_blake3 PRIVATE
    BLAKE3_NO_SSE2 BLAKE3_NO_SSE41 BLAKE3_NO_AVX2 BLAKE3_NO_AVX512)
endif()
target_include_directories(corvane_blake3 SYSTEM PUBLIC "${_b3}")
set_target_properties(corvane_blake3 PROPERTIES POSITION_INDEPENDENT_CODE ON)
add_library(corvane::blake3 ALIAS corvane_blake3)
