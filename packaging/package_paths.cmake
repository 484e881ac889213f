# Where the Windows package is laid out and written; shared by packaging/ and the installer's Wine tests.
set(TAVELMIR_DIST_DIR "${PROJECT_SOURCE_DIR}/dist" CACHE PATH "Folder that receives the plug-in's zip and installer")
set(TAVELMIR_DATA_SET_DIR "${TAVELMIR_NATIVE_BUILD_DIR}/data/plugin/TavelDat")
set(TAVELMIR_PACKAGE_STAGE_DIR "${CMAKE_BINARY_DIR}/packaging/stage")
set(TAVELMIR_PACKAGE_ZIP "${TAVELMIR_DIST_DIR}/tavelmir-${PROJECT_VERSION}-plugin.zip")
set(TAVELMIR_PACKAGE_SETUP "${TAVELMIR_DIST_DIR}/tavelmir-${PROJECT_VERSION}-setup.exe")
