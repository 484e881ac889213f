# Web build: the effect's frame code compiled to WebAssembly, and the static page that plays it, written into
# build/web (a folder any static server can serve), with its default data set made here: the palettes by the same
# script as the native build's, the fade table by the engine's own computation run in Node.
set(TAVELMIR_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH
    "Native build whose tavelmir the page's tests compare frames with")
set(TAVELMIR_WEB_OUTPUT_DIR "${PROJECT_SOURCE_DIR}/build/web" CACHE PATH "Folder the page is written into")

# The engine (src/core, with the numeric library it uses) and the data set's rules that need no files: the page is
# the host and hands the data set in as bytes, so neither the data set's file readers nor anything of the plug-in
# or the command line is needed.
file(GLOB TAVELMIR_WEB_ENGINE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/core/*.cpp
     ${PROJECT_SOURCE_DIR}/src/numeric/*.cpp)
list(APPEND TAVELMIR_WEB_ENGINE_SOURCES ${PROJECT_SOURCE_DIR}/src/data/palette_colours.cpp
     ${PROJECT_SOURCE_DIR}/src/data/settings_keys.cpp)

# The effect's SSE2 stages run on WebAssembly SIMD through emscripten's SSE2 headers, which map each intrinsic onto
# wasm_simd128.h exactly as emcc does for -msse2 (its compiler defines __SSE__ and __SSE2__ then, as done here);
# the stages use integer intrinsics only, so the frames stay those of the native build. Only the two headers are
# taken: the rest of that folder replaces C library headers.
find_path(TAVELMIR_SSE2_ON_WASM_HEADERS emmintrin.h PATHS /usr/share/emscripten/system/include/compat
          NO_DEFAULT_PATH DOC "emscripten's SSE2 headers for WebAssembly SIMD")
set(TAVELMIR_SSE2_ON_WASM_INCLUDE ${CMAKE_CURRENT_BINARY_DIR}/sse2-on-wasm)
if(TAVELMIR_SSE2_ON_WASM_HEADERS)
  file(COPY ${TAVELMIR_SSE2_ON_WASM_HEADERS}/emmintrin.h ${TAVELMIR_SSE2_ON_WASM_HEADERS}/xmmintrin.h
       DESTINATION ${TAVELMIR_SSE2_ON_WASM_INCLUDE})
else()
  message(WARNING "emscripten's SSE2 headers were not found (package emscripten): the page gets the portable "
                  "module only, which is slower")
endif()

# One module per way of running the stages: "tavelmir.wasm" with SIMD, "tavelmir-portable.wasm" for browsers
# without it (the page picks). Sections let the linker drop what the exported calls never reach; -O0 at the link
# keeps clang from running a wasm-opt it may find (which differs between machines and knows no SIMD here).
function(tavelmir_web_engine target output simd)
  add_executable(${target} ${TAVELMIR_WEB_ENGINE_SOURCES} ${PROJECT_SOURCE_DIR}/web/engine/engine_api.cpp
                           ${PROJECT_SOURCE_DIR}/web/engine/downmix_api.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  # The frames must equal the native build's: no fused multiply-adds, no vectorised rearranging. The engine's
  # constructor is constexpr for the plug-in's constant-initialised record; libc++ 14's vector is not constexpr
  # yet, which clang reports as an error by default: the module constructs its engine at run time anyway.
  target_compile_options(${target} PRIVATE ${TAVELMIR_WARNING_FLAGS} -ffp-contract=off -fno-slp-vectorize
                                           -fno-exceptions -ffunction-sections -fdata-sections
                                           -Wno-invalid-constexpr)
  if(simd)
    target_compile_options(${target} PRIVATE -msimd128 -D__SSE__ -D__SSE2__)
    target_include_directories(${target} SYSTEM PRIVATE ${TAVELMIR_SSE2_ON_WASM_INCLUDE})
  else()
    target_compile_definitions(${target} PRIVATE TAVELMIR_PORTABLE)
  endif()
  # No imports at all: the page instantiates the module with an empty import object, which fails loudly should a
  # file or clock call ever become reachable from the exported functions.
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--strip-all -Wl,-z,stack-size=1048576 -O0)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} SUFFIX ".wasm")
endfunction()

tavelmir_web_engine(tavelmir_web_engine_portable tavelmir-portable OFF)
set(TAVELMIR_WEB_ENGINE_TARGETS tavelmir_web_engine_portable)
if(TAVELMIR_SSE2_ON_WASM_HEADERS)
  tavelmir_web_engine(tavelmir_web_engine_simd tavelmir ON)
  list(APPEND TAVELMIR_WEB_ENGINE_TARGETS tavelmir_web_engine_simd)
endif()
set(TAVELMIR_WEB_ENGINES)
foreach(t IN LISTS TAVELMIR_WEB_ENGINE_TARGETS)
  list(APPEND TAVELMIR_WEB_ENGINES $<TARGET_FILE:${t}>)
endforeach()

# The default data set: the palettes from the script the native build uses, the fade table computed by the engine's
# code compiled for this target and run in Node (the same table `tavelmir fade` writes).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(TAVELMIR_NODE node REQUIRED)
add_executable(tavelmir_web_fade_tool ${TAVELMIR_WEB_ENGINE_SOURCES} ${PROJECT_SOURCE_DIR}/web/tools/fade_tool_api.cpp)
target_include_directories(tavelmir_web_fade_tool PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(tavelmir_web_fade_tool PRIVATE ${TAVELMIR_WARNING_FLAGS} -ffp-contract=off -fno-slp-vectorize
                                                     -fno-exceptions -Wno-invalid-constexpr)
target_compile_definitions(tavelmir_web_fade_tool PRIVATE TAVELMIR_PORTABLE)
target_link_options(tavelmir_web_fade_tool PRIVATE -Wl,--gc-sections -Wl,-z,stack-size=1048576 -O0)
set_target_properties(tavelmir_web_fade_tool PROPERTIES OUTPUT_NAME fade_tool SUFFIX ".wasm")

set(TAVELMIR_WEB_DATA_SET ${CMAKE_CURRENT_BINARY_DIR}/data/TavelDat)
set(TAVELMIR_WEB_PALETTE_STAMP ${CMAKE_CURRENT_BINARY_DIR}/data/palettes.stamp)
add_custom_command(
  OUTPUT ${TAVELMIR_WEB_PALETTE_STAMP} ${TAVELMIR_WEB_DATA_SET}/refrence.pal
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TAVELMIR_WEB_DATA_SET}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/data/make_palettes.py ${TAVELMIR_WEB_DATA_SET}
  COMMAND ${CMAKE_COMMAND} -E touch ${TAVELMIR_WEB_PALETTE_STAMP}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/make_palettes.py
  COMMENT "Writing the default palettes into ${TAVELMIR_WEB_DATA_SET}"
  VERBATIM)
add_custom_command(
  OUTPUT ${TAVELMIR_WEB_DATA_SET}/fade.dat
  COMMAND ${TAVELMIR_NODE} ${PROJECT_SOURCE_DIR}/web/tools/make_fade_table.mjs $<TARGET_FILE:tavelmir_web_fade_tool>
          ${TAVELMIR_WEB_DATA_SET}/refrence.pal ${TAVELMIR_WEB_DATA_SET}/fade.dat
  DEPENDS ${TAVELMIR_WEB_PALETTE_STAMP} tavelmir_web_fade_tool ${PROJECT_SOURCE_DIR}/web/tools/make_fade_table.mjs
  COMMENT "Computing the fade table of the page's data set"
  VERBATIM)

# The icons in PNG for the manifest and the lock screen, drawn by a script (icon.svg is the page's own).
set(TAVELMIR_WEB_ICONS ${CMAKE_CURRENT_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${TAVELMIR_WEB_ICONS}/icon-192.png ${TAVELMIR_WEB_ICONS}/icon-512.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVELMIR_WEB_ICONS}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/web/tools/make_icons.py ${TAVELMIR_WEB_ICONS}
  DEPENDS ${PROJECT_SOURCE_DIR}/web/tools/make_icons.py
  COMMENT "Drawing the page's icons"
  VERBATIM)

# The page twice: in build/web as people get it, and with the tests' hook for the tests (TAVELMIR_WEB_TEST_DIR).
set(TAVELMIR_WEB_TEST_DIR ${CMAKE_CURRENT_BINARY_DIR}/page-test)
file(GLOB TAVELMIR_WEB_PAGE_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/page/*)
set(TAVELMIR_WEB_STAMP ${CMAKE_CURRENT_BINARY_DIR}/web_page.stamp)
string(REPLACE ";" "|" TAVELMIR_WEB_ENGINE_PATHS "${TAVELMIR_WEB_ENGINES}")  # one argument in a list
set(TAVELMIR_WEB_PAGE_ARGUMENTS -DPAGE_SOURCE=${PROJECT_SOURCE_DIR}/web/page -DENGINES=${TAVELMIR_WEB_ENGINE_PATHS}
    -DDATA_SET=${TAVELMIR_WEB_DATA_SET} -DICONS=${TAVELMIR_WEB_ICONS} -DVERSION=${PROJECT_VERSION})
add_custom_command(
  OUTPUT ${TAVELMIR_WEB_STAMP}
  COMMAND ${CMAKE_COMMAND} ${TAVELMIR_WEB_PAGE_ARGUMENTS} -DOUTPUT=${TAVELMIR_WEB_OUTPUT_DIR} -DTEST_HOOK=OFF
          -P ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
  COMMAND ${CMAKE_COMMAND} ${TAVELMIR_WEB_PAGE_ARGUMENTS} -DOUTPUT=${TAVELMIR_WEB_TEST_DIR} -DTEST_HOOK=ON
          -P ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${TAVELMIR_WEB_STAMP}
  DEPENDS ${TAVELMIR_WEB_ENGINE_TARGETS} ${TAVELMIR_WEB_PAGE_FILES} ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
          ${TAVELMIR_WEB_PALETTE_STAMP} ${TAVELMIR_WEB_DATA_SET}/fade.dat ${TAVELMIR_WEB_ICONS}/icon-192.png
  COMMENT "Writing the web page into ${TAVELMIR_WEB_OUTPUT_DIR}"
  VERBATIM)
add_custom_target(tavelmir_web ALL DEPENDS ${TAVELMIR_WEB_STAMP})

enable_testing()
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/web/CMakeLists.txt)
  add_subdirectory(tests/web)
endif()
