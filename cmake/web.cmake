# Web build: the effect's frame code compiled to WebAssembly, and the static page that plays it, written into
# build/web (a folder any static server can serve). The data set comes from the native build, which computes the
# fade table; build the native preset first.
set(TAVELMIR_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH "Native build whose data set the page ships")
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
  add_executable(${target} ${TAVELMIR_WEB_ENGINE_SOURCES} ${PROJECT_SOURCE_DIR}/web/engine/engine_api.cpp)
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

file(GLOB TAVELMIR_WEB_PAGE_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/page/*)
# A data set made later is picked up on the next build; a missing one is reported by web_page.cmake in words.
set(TAVELMIR_WEB_DATA_DEPENDS)
if(EXISTS ${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat/fade.dat)
  set(TAVELMIR_WEB_DATA_DEPENDS ${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat/fade.dat)
endif()
set(TAVELMIR_WEB_STAMP ${CMAKE_CURRENT_BINARY_DIR}/web_page.stamp)
add_custom_command(
  OUTPUT ${TAVELMIR_WEB_STAMP}
  COMMAND ${CMAKE_COMMAND} -DPAGE_SOURCE=${PROJECT_SOURCE_DIR}/web/page -DOUTPUT=${TAVELMIR_WEB_OUTPUT_DIR}
          "-DENGINES=${TAVELMIR_WEB_ENGINES}" -DDATA_SET=${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${TAVELMIR_WEB_STAMP}
  DEPENDS ${TAVELMIR_WEB_ENGINE_TARGETS} ${TAVELMIR_WEB_PAGE_FILES} ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
          ${TAVELMIR_WEB_DATA_DEPENDS}
  COMMENT "Writing the web page into ${TAVELMIR_WEB_OUTPUT_DIR}"
  VERBATIM)
add_custom_target(tavelmir_web ALL DEPENDS ${TAVELMIR_WEB_STAMP})

enable_testing()
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/web/CMakeLists.txt)
  add_subdirectory(tests/web)
endif()
