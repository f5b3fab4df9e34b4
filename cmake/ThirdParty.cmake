# Header-only libraries from Debian's packages, used by host/ and panelsim on
# every target: CLI11 (libcli11-dev), toml++ (libtomlplusplus-dev, used
# header-only), utfcpp (libutfcpp-dev). Their headers sit in /usr/include,
# which the cross compilers do not search and must not search whole (the build
# machine's C library headers live there too), so each library's folder is
# linked into a folder of its own that joins the include path.
set(MACRO_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third-party/include)
file(MAKE_DIRECTORY ${MACRO_THIRD_PARTY_INCLUDE})
foreach(entry IN ITEMS "CLI|CLI/CLI.hpp|libcli11-dev"
                       "toml++|toml++/toml.h|libtomlplusplus-dev"
                       "utf8cpp|utf8cpp/utf8.h|libutfcpp-dev")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 folder)
  list(GET entry 1 header)
  list(GET entry 2 package)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} is missing: install ${package} "
                        "(scripts/install-deps.sh does)")
  endif()
  if(NOT EXISTS ${MACRO_THIRD_PARTY_INCLUDE}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${MACRO_THIRD_PARTY_INCLUDE}/${folder} SYMBOLIC)
  endif()
endforeach()

add_library(third_party_headers INTERFACE)
target_include_directories(third_party_headers SYSTEM INTERFACE ${MACRO_THIRD_PARTY_INCLUDE})
