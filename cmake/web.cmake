# Web build: the effect's frame code compiled to WebAssembly, and the static page that plays it, written into
# build/web (a folder any static server can serve). The data set comes from the native build, which computes the
# fade table; build the native preset first.
set(TAVELMIR_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH "Native build whose data set the page ships")
set(TAVELMIR_WEB_OUTPUT_DIR "${PROJECT_SOURCE_DIR}/build/web" CACHE PATH "Folder the page is written into")

# The engine alone (src/core, with the numeric library it uses): the page is the host and hands the data set in
# as bytes, so neither the data set's file readers nor anything of the plug-in is needed. Sections let the linker
# drop what the exported calls never reach.
file(GLOB TAVELMIR_WEB_ENGINE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/core/*.cpp
     ${PROJECT_SOURCE_DIR}/src/numeric/*.cpp)
add_executable(tavelmir_web_engine ${TAVELMIR_WEB_ENGINE_SOURCES}
  ${PROJECT_SOURCE_DIR}/cli/media/sample_to_signed8.cpp
  ${PROJECT_SOURCE_DIR}/web/engine/engine_api.cpp)
target_include_directories(tavelmir_web_engine PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/cli/media)
# The frames must equal the native build's: no fused multiply-adds, no vectorised rearranging, the portable stages.
# The engine's constructor is constexpr for the plug-in's constant-initialised record; libc++ 14's vector is not
# constexpr yet, which clang reports as an error by default: the module constructs its engine at run time anyway.
target_compile_options(tavelmir_web_engine PRIVATE ${TAVELMIR_WARNING_FLAGS} -ffp-contract=off -fno-slp-vectorize
                                               -fno-exceptions -ffunction-sections -fdata-sections
                                               -Wno-invalid-constexpr)
target_compile_definitions(tavelmir_web_engine PRIVATE TAVELMIR_PORTABLE)
# No imports at all: the page instantiates the module with an empty import object, which fails loudly should a
# file or clock call ever become reachable from the exported functions.
target_link_options(tavelmir_web_engine PRIVATE -Wl,--gc-sections -Wl,--strip-all -Wl,-z,stack-size=1048576)
set_target_properties(tavelmir_web_engine PROPERTIES OUTPUT_NAME tavelmir SUFFIX ".wasm")

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
          -DENGINE=$<TARGET_FILE:tavelmir_web_engine> -DDATA_SET=${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${TAVELMIR_WEB_STAMP}
  DEPENDS tavelmir_web_engine ${TAVELMIR_WEB_PAGE_FILES} ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
          ${TAVELMIR_WEB_DATA_DEPENDS}
  COMMENT "Writing the web page into ${TAVELMIR_WEB_OUTPUT_DIR}"
  VERBATIM)
add_custom_target(tavelmir_web ALL DEPENDS ${TAVELMIR_WEB_STAMP})

enable_testing()
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/web/CMakeLists.txt)
  add_subdirectory(tests/web)
endif()
