# Native build: the engine and data set as one library, the plug-in's code over the tests' in-memory display device
# as another, their tests, benchmarks and the CLI (which uses only the first).
include(${PROJECT_SOURCE_DIR}/cmake/hardening.cmake)
add_library(tavelmir_engine STATIC ${TAVELMIR_ENGINE_SOURCES})
target_include_directories(tavelmir_engine PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(tavelmir_engine PUBLIC ${TAVELMIR_COMMON_FLAGS})
target_compile_definitions(tavelmir_engine PUBLIC TAVELMIR_VERSION="${PROJECT_VERSION}")
# The classic frame's enlargement: its integer loops are vectorized when it pays, which -O2's cheapest cost model
# refuses (clang has no such switch and vectorizes them by itself); integers only, so every build writes the same bytes.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/core/frame_resampler.cpp PROPERTIES
    COMPILE_OPTIONS "-fvect-cost-model=dynamic")
endif()
file(GLOB TAVELMIR_MEMORY_DISPLAY_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/device/*.cpp)
add_library(tavelmir_plugin_on_memory_display STATIC ${TAVELMIR_PLUGIN_SHARED_SOURCES} ${TAVELMIR_MEMORY_DISPLAY_SOURCES})
target_include_directories(tavelmir_plugin_on_memory_display PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tavelmir_plugin_on_memory_display PUBLIC tavelmir_engine)
foreach(lib tavelmir_engine tavelmir_plugin_on_memory_display)
  if(TAVELMIR_SANITIZE)
    target_compile_options(${lib} PUBLIC -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${lib} PUBLIC -fsanitize=address,undefined)
  endif()
  if(TAVELMIR_TSAN)
    target_compile_options(${lib} PUBLIC -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${lib} PUBLIC -fsanitize=thread)
  endif()
endforeach()
find_package(Threads REQUIRED)
target_link_libraries(tavelmir_engine PUBLIC Threads::Threads)

# The fuzz configuration builds the libraries instrumented for libFuzzer and only the fuzz targets on top of them.
if(TAVELMIR_FUZZ)
  foreach(lib tavelmir_engine tavelmir_plugin_on_memory_display)
    target_compile_options(${lib} PUBLIC -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                                         -fno-omit-frame-pointer
                                         -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/tests/fuzz/coverage_ignorelist.txt)
    target_link_options(${lib} PUBLIC -fsanitize=address,undefined)
  endforeach()
  add_subdirectory(tests/fuzz)
  return()
endif()

# The command line alone: the library, tavelmir and its tests; none of the plug-in's test suites, benchmarks or
# Windows tools.
option(TAVELMIR_CLI_ONLY "Build only the library, the tavelmir command line and its tests" OFF)
option(BUILD_TESTING "Build the tests" ON)
include(GNUInstallDirs)

enable_testing()
# The OBS Studio module alone (preset "obs", position-independent): the library, the module, its tests and its
# package. The command line and data set its tests compare with (and the package ships) are the native build's,
# built first as for the plug-in and the page (every build draws the same frames); with TAVELMIR_NATIVE_BUILD_DIR
# empty they are built here.
option(TAVELMIR_OBS "Build only the OBS Studio module, its tests and its package" OFF)
if(TAVELMIR_OBS)
  set_target_properties(tavelmir_plugin_on_memory_display PROPERTIES EXCLUDE_FROM_ALL ON)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(TAVELMIR_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH
      "Native build whose tavelmir and data set the OBS module's tests and package use (empty: build them here)")
  if(TAVELMIR_NATIVE_BUILD_DIR)
    add_executable(tavelmir IMPORTED)
    set_target_properties(tavelmir PROPERTIES IMPORTED_LOCATION ${TAVELMIR_NATIVE_BUILD_DIR}/tavelmir)
    set(TAVELMIR_DATA_SET_DIR ${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat)
  else()
    add_subdirectory(data)
    set(BUILD_TESTING_OBS ${BUILD_TESTING})
    set(BUILD_TESTING OFF)
    add_subdirectory(cli)
    set(BUILD_TESTING ${BUILD_TESTING_OBS})
    set(TAVELMIR_DATA_SET_DIR ${CMAKE_BINARY_DIR}/data/plugin/TavelDat)
  endif()
  add_subdirectory(obs)
  return()
endif()
if(TAVELMIR_CLI_ONLY)
  if(BUILD_TESTING)
    find_package(GTest REQUIRED)
    include(GoogleTest)
  endif()
  add_subdirectory(data)
  add_subdirectory(cli)
  add_subdirectory(packaging/linux)
  return()
endif()
find_package(GTest REQUIRED)
file(GLOB TAVELMIR_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
add_executable(tavelmir_tests ${TAVELMIR_TEST_SOURCES})
target_include_directories(tavelmir_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tavelmir_tests PRIVATE tavelmir_plugin_on_memory_display GTest::gtest GTest::gtest_main)
target_compile_definitions(tavelmir_tests PRIVATE TAVELMIR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(tavelmir_tests DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "TAVELMIR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")

if(NOT TAVELMIR_SANITIZE AND NOT TAVELMIR_TSAN)
  find_package(benchmark REQUIRED)
  file(GLOB TAVELMIR_BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
  if(TAVELMIR_BENCH_SOURCES)
    add_executable(tavelmir_bench ${TAVELMIR_BENCH_SOURCES})
    target_include_directories(tavelmir_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/bench)
    # The command line's frame paths are measured too (bench/cli_bench.cpp), so the bench links its library.
    target_link_libraries(tavelmir_bench PRIVATE tavelmir_cli_lib benchmark::benchmark)
    # The engine's frame is measured against its literal transcription (the tests' oracle), and the command
    # line's paths against the engine's own frame; an earlier commit is measured by bench/compare_commits.sh.
    target_sources(tavelmir_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/frame_oracle.cpp
                                          ${PROJECT_SOURCE_DIR}/tests/support/stage_record.cpp)
    # The OBS source's frame against the player's (bench/obs_frame_bench.cpp): its effect and picture need no libobs.
    target_sources(tavelmir_bench PRIVATE ${PROJECT_SOURCE_DIR}/obs/tunnel_picture.cpp)
    target_include_directories(tavelmir_bench PRIVATE ${PROJECT_SOURCE_DIR}/obs)
    # The fade search is measured against its literal transcription; main comes from benchmark_main unless a
    # benchmark file defines its own.
    target_sources(tavelmir_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fade_oracle.cpp)
    target_link_libraries(tavelmir_bench PRIVATE benchmark::benchmark_main)
    # The fade search is also measured on the reference palette of the default data set (data/).
    target_compile_definitions(tavelmir_bench PRIVATE
      TAVELMIR_DEFAULT_REFERENCE_PALETTE="${CMAKE_BINARY_DIR}/data/plugin/TavelDat/refrence.pal")
  endif()
endif()

if(NOT TAVELMIR_SANITIZE AND NOT TAVELMIR_TSAN)
  add_subdirectory(tests/soak)
endif()

# The Debian package of the command line; not of a sanitized build.
if(NOT TAVELMIR_SANITIZE AND NOT TAVELMIR_TSAN)
  add_subdirectory(packaging/linux)
endif()

foreach(sub cli data tests/regression)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${sub}/CMakeLists.txt)
    add_subdirectory(${sub})
  endif()
endforeach()
