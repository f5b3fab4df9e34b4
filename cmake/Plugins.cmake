# Build rules shared by the runtime and every plug-in.
#
# A plug-in is a shared library named after its deliverable, built for size,
# exporting only macro_main and needing nothing at run time but the C library.

add_library(macro_code_options INTERFACE)
target_compile_options(macro_code_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics -fvisibility-inlines-hidden>
  -Os -ffunction-sections -fdata-sections -fvisibility=hidden
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-math-errno -fno-stack-protector)
if(NOT MACRO_TARGET STREQUAL "native")
  # Beside every object, its call graph with each function's stack frame
  # (a .ci file): the benchmarks add up the deepest path from macro_main.
  target_compile_options(macro_code_options INTERFACE -fcallgraph-info=su)
endif()

add_library(macro_plugin_link INTERFACE)
target_link_options(macro_plugin_link INTERFACE -static-libgcc -static-libstdc++ -Wl,--gc-sections)
if(MACRO_TARGET STREQUAL "pc")
  # No C runtime start-up code: a DLL entry of our own, and nothing linked but
  # the import libraries of msvcrt.dll and KERNEL32.dll and libgcc for the
  # helpers the compiler may call (64-bit division, stack probes).
  target_sources(macro_plugin_link INTERFACE ${CMAKE_CURRENT_LIST_DIR}/../runtime/src/dll_entry.cpp)
  target_link_options(macro_plugin_link INTERFACE -nostdlib -Wl,--entry,_MacroDllEntry@12
                      -s -Wl,--exclude-all-symbols)
  target_link_libraries(macro_plugin_link INTERFACE msvcrt kernel32 gcc)
else()
  target_link_options(macro_plugin_link INTERFACE
    -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/plugin.map -Wl,--as-needed)
endif()
if(MACRO_TARGET STREQUAL "panel")
  target_link_options(macro_plugin_link INTERFACE -s -Wl,-z,max-page-size=4096 -Wl,-z,defs)
endif()

set(MACRO_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plugins)

# add_macro_plugin(NAME VECTOR 12|15 BUILDS both|pc SOURCES ... [LIBS ...])
# A plug-in marked "pc" is not part of the panel build.
function(add_macro_plugin name)
  cmake_parse_arguments(P "" "VECTOR;BUILDS" "SOURCES;LIBS" ${ARGN})
  if(NOT P_VECTOR MATCHES "^(12|15)$")
    message(FATAL_ERROR "${name}: VECTOR must be 12 or 15")
  endif()
  if(NOT P_BUILDS MATCHES "^(both|pc)$")
    message(FATAL_ERROR "${name}: BUILDS must be both or pc")
  endif()
  if(P_BUILDS STREQUAL "pc" AND MACRO_TARGET STREQUAL "panel")
    return()
  endif()
  add_library(${name} SHARED ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS} macro_runtime_${P_VECTOR} macro_code_options macro_plugin_link)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${MACRO_PLUGIN_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${MACRO_PLUGIN_DIR})
  set_property(GLOBAL APPEND PROPERTY MACRO_PLUGINS ${name})
endfunction()
