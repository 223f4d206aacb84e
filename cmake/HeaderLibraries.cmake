# Header-only libraries from Debian packages (libstb-dev, nlohmann-json3-dev),
# used by the native and the MinGW build alike. Only each library's own
# folder is made visible, through links in the build tree: putting the
# host's /usr/include on the MinGW include path would let glibc's headers
# shadow MinGW's.
set(QUILLON_HEADER_ROOT "/usr/include" CACHE PATH "Where the Debian header-only libraries are installed")
set(QUILLON_HEADER_LIBS "${CMAKE_BINARY_DIR}/header-libs")
file(MAKE_DIRECTORY "${QUILLON_HEADER_LIBS}")
foreach(lib stb nlohmann)
  if(NOT EXISTS "${QUILLON_HEADER_ROOT}/${lib}")
    message(FATAL_ERROR "${QUILLON_HEADER_ROOT}/${lib} is missing: run tools/install-deps.sh (libstb-dev, nlohmann-json3-dev)")
  endif()
  if(NOT EXISTS "${QUILLON_HEADER_LIBS}/${lib}")
    file(CREATE_LINK "${QUILLON_HEADER_ROOT}/${lib}" "${QUILLON_HEADER_LIBS}/${lib}" SYMBOLIC)
  endif()
endforeach()
