# Debian's hardening flags for the native programs, the package's among them: what dpkg-buildflags gives with every
# hardening feature on (fortified libc calls, stack protection, read-only relocations bound at load). Only those:
# the build type keeps choosing optimisation and debug information. None of them changes a computed value, so the
# frames stay the same. Not for the sanitizer and fuzz builds, nor for Debug, whose -O0 cannot fortify.
option(TAVELMIR_HARDENING "Build with dpkg-buildflags' hardening flags where dpkg-buildflags is found" ON)
find_program(TAVELMIR_DPKG_BUILDFLAGS dpkg-buildflags)
if(TAVELMIR_HARDENING AND TAVELMIR_DPKG_BUILDFLAGS AND NOT TAVELMIR_SANITIZE AND NOT TAVELMIR_TSAN AND NOT TAVELMIR_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(hardening_flags)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${TAVELMIR_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-O|^-g$|^-f(file|debug|macro)-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
    list(APPEND hardening_flags ${flags})
  endforeach()
  list(REMOVE_DUPLICATES hardening_flags)
  message(STATUS "Hardening flags from dpkg-buildflags: ${hardening_flags}")
endif()
