# The browser build: the core compiled with em++ into orvanti.js/.wasm, and
# beside it in site/ the page, its driver script, the music player, the icon
# and the generated data, gzip-compressed. site/ holds the whole site and
# nothing else, ready to copy to any static host.
#
# Configured by the native build's `web_page` target (or by hand):
#   emcmake cmake -S . -B build/web -DORVANTI_WEB_DATA=build/data [-DORVANTI_WEB_ICON=build/packaging/orvanti.png]

set(ORVANTI_WEB_DATA "" CACHE PATH "Folder holding the generated orvanti.dat and orvanti.xm")
set(ORVANTI_WEB_ICON "" CACHE FILEPATH "The generated icon (PNG), the page's favicon and preview picture")
if(NOT EXISTS "${ORVANTI_WEB_DATA}/orvanti.dat" OR NOT EXISTS "${ORVANTI_WEB_DATA}/orvanti.xm")
  message(FATAL_ERROR "ORVANTI_WEB_DATA (\"${ORVANTI_WEB_DATA}\") must name the folder with the generated "
                      "orvanti.dat and orvanti.xm (a native build's data/ folder)")
endif()
if(NOT EXISTS "${ORVANTI_WEB_ICON}")
  message(STATUS "ORVANTI_WEB_ICON (\"${ORVANTI_WEB_ICON}\") names no file: the page has no icon")
endif()
set(ORVANTI_WEB_PLAYER ${CMAKE_SOURCE_DIR}/web/node_modules/chiptune3)
if(NOT EXISTS "${ORVANTI_WEB_PLAYER}/chiptune3.js")
  message(FATAL_ERROR "${ORVANTI_WEB_PLAYER}/chiptune3.js is missing: run scripts/install-deps.sh "
                      "(it installs the page's npm packages in web/)")
endif()
set(SITE ${CMAKE_BINARY_DIR}/site)

# SDL, Xlib, libopenmpt and libjpeg have no browser build here: their drivers are
# replaced by the web_* files (the browser plays the music, and JPEG entries
# fail to load with a reason; the generated data has none).
file(GLOB_RECURSE WEB_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/shell/(web_)?main\\.cpp$")
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/platform/(sdl_[a-z_]*|x11_[a-z_]*|module_player)\\.cpp$")
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/data/jpeg\\.cpp$")

# Every current browser runs WebAssembly SIMD and bulk memory: the span and
# warp loops have their own SIMD paths, the band passes are vectorised by the
# compiler, and memcpy and memset become single instructions instead of a
# loop or a call out to JavaScript.
set(WEB_OPTIONS -O3 -msimd128 -mbulk-memory -flto)

add_library(orvanti_web_core STATIC ${WEB_SOURCES})
target_include_directories(orvanti_web_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(orvanti_web_core PUBLIC ${WEB_OPTIONS})

add_executable(orvanti ${CMAKE_SOURCE_DIR}/src/shell/web_main.cpp)
target_link_libraries(orvanti PRIVATE orvanti_web_core)
set_target_properties(orvanti PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SITE})
set(WEB_EXPORTS
  _web_begin_show _web_step_show _web_stop_show _web_key _web_draw_fixed_frame
  _web_present_screen)
list(JOIN WEB_EXPORTS "," WEB_EXPORT_LIST)
target_link_options(orvanti PRIVATE
  ${WEB_OPTIONS}
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=67108864
  -sFORCE_FILESYSTEM=1
  -sEXIT_RUNTIME=0
  -sINVOKE_RUN=0
  -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=${WEB_EXPORT_LIST}
  -sEXPORTED_RUNTIME_METHODS=FS,HEAPU8,UTF8ToString)

# The SIMD loops against the plain ones, run under Node by the page's test.
add_executable(check_wide_loops ${CMAKE_SOURCE_DIR}/tests/web/check_wide_loops.cpp)
target_link_libraries(check_wide_loops PRIVATE orvanti_web_core)
# One file: this emscripten would fetch a separate .wasm with Node's fetch, which takes no paths.
target_link_options(check_wide_loops PRIVATE ${WEB_OPTIONS} -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -sSINGLE_FILE=1)

set(WEB_PAGE_FILES
  ${CMAKE_SOURCE_DIR}/web/index.html
  ${CMAKE_SOURCE_DIR}/src/platform/web_driver.js)
set(WEB_PLAYER_FILES
  ${ORVANTI_WEB_PLAYER}/chiptune3.js
  ${ORVANTI_WEB_PLAYER}/chiptune3.worklet.js
  ${ORVANTI_WEB_PLAYER}/LICENSE)
set(WEB_ICON_COMMAND)
if(EXISTS "${ORVANTI_WEB_ICON}")
  set(WEB_ICON_COMMAND COMMAND ${CMAKE_COMMAND} -E copy ${ORVANTI_WEB_ICON} ${SITE}/orvanti.png)
endif()
# No host compresses for us: the data, the program and the music player's
# library are stored gzipped and inflated in the page (DecompressionStream).
set(WEB_GZIP ${CMAKE_COMMAND} -DGZIP_FROM=<from> -DGZIP_TO=<to> -P ${CMAKE_SOURCE_DIR}/cmake/web_gzip.cmake)
function(gzip_command out_var from to)
  string(REPLACE "<from>" "${from}" command "${WEB_GZIP}")
  string(REPLACE "<to>" "${to}" command "${command}")
  set(${out_var} COMMAND ${command} PARENT_SCOPE)
endfunction()
gzip_command(GZIP_DAT ${ORVANTI_WEB_DATA}/orvanti.dat ${SITE}/orvanti.dat.gz)
gzip_command(GZIP_XM ${ORVANTI_WEB_DATA}/orvanti.xm ${SITE}/orvanti.xm.gz)
gzip_command(GZIP_WORKLET ${ORVANTI_WEB_PLAYER}/libopenmpt.worklet.js ${SITE}/chiptune3/libopenmpt.worklet.js.gz)
add_custom_command(
  OUTPUT ${SITE}/index.html ${SITE}/orvanti.dat.gz ${SITE}/orvanti.xm.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_PAGE_FILES} ${SITE}/
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SITE}/chiptune3
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_PLAYER_FILES} ${SITE}/chiptune3/
  ${WEB_ICON_COMMAND}
  ${GZIP_DAT}
  ${GZIP_XM}
  ${GZIP_WORKLET}
  DEPENDS ${WEB_PAGE_FILES} ${WEB_PLAYER_FILES} ${ORVANTI_WEB_PLAYER}/libopenmpt.worklet.js ${ORVANTI_WEB_DATA}/orvanti.dat ${ORVANTI_WEB_DATA}/orvanti.xm
          ${CMAKE_SOURCE_DIR}/cmake/web_gzip.cmake
  COMMENT "Putting the page, the music player and the show's data (gzipped) in ${SITE}")
add_custom_target(web_files ALL DEPENDS ${SITE}/index.html)
# The program itself is gzipped once linked; the uncompressed one is not kept.
gzip_command(GZIP_WASM ${SITE}/orvanti.wasm ${SITE}/orvanti.wasm.gz)
add_custom_command(TARGET orvanti POST_BUILD
  ${GZIP_WASM}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${SITE}/orvanti.wasm)
