# Plug-in build: vis_tavelmir.dll for 32-bit Windows, exporting only winampVisGetHeader and importing only
# system DLLs (libgcc and libstdc++ linked in statically).
file(GLOB TAVELMIR_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*/*.rc)
add_library(vis_tavelmir SHARED ${TAVELMIR_PLUGIN_SOURCES} ${TAVELMIR_ENGINE_SOURCES} ${TAVELMIR_RESOURCES} ${PROJECT_SOURCE_DIR}/src/plugin/vis_tavelmir.def)
set_target_properties(vis_tavelmir PROPERTIES PREFIX "" OUTPUT_NAME vis_tavelmir)
target_include_directories(vis_tavelmir PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(vis_tavelmir PRIVATE ${TAVELMIR_COMMON_FLAGS} -msse2 -mfpmath=sse)
target_compile_definitions(vis_tavelmir PRIVATE TAVELMIR_VERSION="${PROJECT_VERSION}"
  TAVELMIR_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} TAVELMIR_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  TAVELMIR_VERSION_PATCH=${PROJECT_VERSION_PATCH} WIN32_LEAN_AND_MEAN)
target_link_options(vis_tavelmir PRIVATE -static -static-libgcc -static-libstdc++ -s)
# The data set's string handling inlines std::string at -O3, where this GCC 12 reports overlaps and uninitialised
# reads inside its own char_traits that cannot happen (the native build's same code is clean).
file(GLOB TAVELMIR_DATA_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/data/*.cpp)
set_source_files_properties(${TAVELMIR_DATA_SOURCES} PROPERTIES COMPILE_OPTIONS "-Wno-restrict;-Wno-maybe-uninitialized")
target_link_libraries(vis_tavelmir PRIVATE ddraw gdi32 user32 comctl32 comdlg32 kernel32)
# The About box's picture is drawn at build time into the build tree, where windres looks for it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TAVELMIR_GENERATED_RC_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated_resources)
add_custom_command(OUTPUT ${TAVELMIR_GENERATED_RC_DIR}/about_picture.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVELMIR_GENERATED_RC_DIR}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/src/plugin/make_about_bitmap.py ${TAVELMIR_GENERATED_RC_DIR}/about_picture.bmp
  DEPENDS ${PROJECT_SOURCE_DIR}/src/plugin/make_about_bitmap.py
  COMMENT "Drawing the About box picture")
target_sources(vis_tavelmir PRIVATE ${TAVELMIR_GENERATED_RC_DIR}/about_picture.bmp)
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/plugin/settings_dialog.rc PROPERTIES
  INCLUDE_DIRECTORIES ${TAVELMIR_GENERATED_RC_DIR} OBJECT_DEPENDS ${TAVELMIR_GENERATED_RC_DIR}/about_picture.bmp)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -DTAVELMIR_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} -DTAVELMIR_VERSION_MINOR=${PROJECT_VERSION_MINOR} -DTAVELMIR_VERSION_PATCH=${PROJECT_VERSION_PATCH}")

enable_testing()
# The Wine tests compare against the native build's frames, and the package ships the fade table that the native
# build computes; both builds come from the same tree, the native one first.
set(TAVELMIR_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH "Native build whose tavelmir CLI and data set the plug-in build uses")
foreach(sub tests/dll tests/wine packaging)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${sub}/CMakeLists.txt)
    add_subdirectory(${sub})
  endif()
endforeach()
