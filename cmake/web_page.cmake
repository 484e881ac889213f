# Assembles the web page: the page's files, the WebAssembly module and the default data set (palettes in the order
# the plug-in loads them, the fade table), with a list of the palettes for the page, its icons, and the list of its
# files the service worker caches. TEST_HOOK=ON keeps the tests' hook; the page people get has an empty one.
# cmake -DPAGE_SOURCE=... -DOUTPUT=... "-DENGINES=a.wasm|b.wasm" -DDATA_SET=... -DICONS=... -DVERSION=...
#       -DTEST_HOOK=ON|OFF -P web_page.cmake
foreach(v PAGE_SOURCE OUTPUT ENGINES DATA_SET ICONS VERSION TEST_HOOK)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "web_page.cmake needs -D${v}=...")
  endif()
endforeach()
if(NOT EXISTS ${DATA_SET}/fade.dat)
  message(FATAL_ERROR "no fade table '${DATA_SET}/fade.dat'")
endif()

set(staging ${OUTPUT}.part)
file(REMOVE_RECURSE ${staging})
file(MAKE_DIRECTORY ${staging}/data)
file(GLOB page_files ${PAGE_SOURCE}/*)
foreach(f IN LISTS page_files)
  get_filename_component(name ${f} NAME)
  if(name STREQUAL "index.html")
    set(TAVELMIR_VERSION ${VERSION})
    configure_file(${f} ${staging}/index.html @ONLY)
  elseif(name STREQUAL "service_worker.js")
    # Written last, once the page's digest is known.
  elseif(name STREQUAL "test_hook.js" AND NOT TEST_HOOK)
    file(WRITE ${staging}/test_hook.js "// The tests' hook is in test builds only.\nexport function installTestHook() {}\n")
  else()
    file(COPY ${f} DESTINATION ${staging})
  endif()
endforeach()
string(REPLACE "|" ";" ENGINES "${ENGINES}")
file(COPY ${ENGINES} DESTINATION ${staging})

# Every 768-byte *.pal but the reference palette, sorted byte by byte as the plug-in sorts them.
file(GLOB palette_paths ${DATA_SET}/*.pal)
set(names)
foreach(p IN LISTS palette_paths)
  get_filename_component(name ${p} NAME)
  file(SIZE ${p} size)
  if(NOT name STREQUAL "refrence.pal" AND size EQUAL 768)
    list(APPEND names ${name})
    file(COPY ${p} DESTINATION ${staging}/data)
  endif()
endforeach()
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no palettes in '${DATA_SET}'")
endif()
list(JOIN names "\", \"" joined)
file(WRITE ${staging}/data/palettes.json "[\"${joined}\"]\n")
file(COPY ${DATA_SET}/fade.dat DESTINATION ${staging}/data)

file(COPY ${ICONS}/icon-192.png ${ICONS}/icon-512.png DESTINATION ${staging})

# What the service worker caches for offline use: every file of the page; its cache is named after their digest, so
# a new build replaces what a browser holds.
file(GLOB_RECURSE cached RELATIVE ${staging} ${staging}/*)
list(SORT cached)
set(digests "")
foreach(f IN LISTS cached)
  file(SHA256 ${staging}/${f} digest)
  string(APPEND digests "${f} ${digest}\n")
endforeach()
string(SHA256 TAVELMIR_PAGE_DIGEST "${digests}")
string(SUBSTRING ${TAVELMIR_PAGE_DIGEST} 0 16 TAVELMIR_PAGE_DIGEST)
list(APPEND cached service_worker.js)
list(JOIN cached "\", \"" joined_files)
file(WRITE ${staging}/files.json "[\"${joined_files}\"]\n")
set(TAVELMIR_VERSION ${VERSION})
configure_file(${PAGE_SOURCE}/service_worker.js ${staging}/service_worker.js @ONLY)

# Replaced whole, so a server never serves half an old page and half a new one.
file(REMOVE_RECURSE ${OUTPUT})
file(RENAME ${staging} ${OUTPUT})
