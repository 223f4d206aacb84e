# libdeflate: the PNG writer's deflate and checksums. Debian packages it for
# Linux only, so both builds compile Debian's source package (fetched by
# tools/install-deps.sh into .tools) as a static library: the same code in
# the native and the Windows program. Only the compression side is built.
set(QUILLON_LIBDEFLATE_DIR "${CMAKE_SOURCE_DIR}/.tools/libdeflate-1.14" CACHE PATH
    "Unpacked source of Debian's libdeflate")
if(NOT EXISTS "${QUILLON_LIBDEFLATE_DIR}/libdeflate.h")
  message(FATAL_ERROR "${QUILLON_LIBDEFLATE_DIR} is missing: run tools/install-deps.sh")
endif()
add_library(quillon_libdeflate STATIC
  "${QUILLON_LIBDEFLATE_DIR}/lib/adler32.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/crc32.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/deflate_compress.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/utils.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/zlib_compress.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/arm/cpu_features.c"
  "${QUILLON_LIBDEFLATE_DIR}/lib/x86/cpu_features.c"
)
set_target_properties(quillon_libdeflate PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_include_directories(quillon_libdeflate SYSTEM PUBLIC "${QUILLON_LIBDEFLATE_DIR}")
# Third-party code, kept as it is packaged: its warnings are not ours.
target_compile_options(quillon_libdeflate PRIVATE "$<IF:$<C_COMPILER_ID:MSVC>,/w,-w>")
