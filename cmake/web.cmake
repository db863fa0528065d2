# The browser build: the core compiled with em++ into orvanti.js/.wasm, and
# beside it the page, its driver script, the music player and the generated
# data, so that the binary folder is the whole site.
#
# Configured by the native build's `web_page` target (or by hand):
#   emcmake cmake -S . -B build-web -DORVANTI_WEB_DATA=build/data

set(ORVANTI_WEB_DATA "" CACHE PATH "Folder holding the generated orvanti.dat and orvanti.xm")
if(NOT EXISTS "${ORVANTI_WEB_DATA}/orvanti.dat" OR NOT EXISTS "${ORVANTI_WEB_DATA}/orvanti.xm")
  message(FATAL_ERROR "ORVANTI_WEB_DATA (\"${ORVANTI_WEB_DATA}\") must name the folder with the generated "
                      "orvanti.dat and orvanti.xm (a native build's data/ folder)")
endif()
set(ORVANTI_WEB_PLAYER ${CMAKE_SOURCE_DIR}/web/node_modules/chiptune3)
if(NOT EXISTS "${ORVANTI_WEB_PLAYER}/chiptune3.js")
  message(FATAL_ERROR "${ORVANTI_WEB_PLAYER}/chiptune3.js is missing: run scripts/install-deps.sh "
                      "(it installs the page's npm packages in web/)")
endif()

# SDL, Xlib, libopenmpt and libjpeg have no browser build here: their drivers are
# replaced by the web_* files (the browser plays the music, and JPEG entries
# fail to load with a reason; the generated data has none).
file(GLOB_RECURSE WEB_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/shell/main\\.cpp$")
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/platform/(sdl_[a-z_]*|x11_[a-z_]*|clock|module_player)\\.cpp$")
list(FILTER WEB_SOURCES EXCLUDE REGEX "src/data/jpeg\\.cpp$")

add_executable(orvanti ${WEB_SOURCES})
target_include_directories(orvanti PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(orvanti PRIVATE -O3)
set(WEB_EXPORTS
  _web_begin_show _web_step_show _web_stop_show _web_key _web_draw_fixed_frame
  _web_present_screen)
list(JOIN WEB_EXPORTS "," WEB_EXPORT_LIST)
target_link_options(orvanti PRIVATE
  -O3
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=67108864
  -sFORCE_FILESYSTEM=1
  -sEXIT_RUNTIME=0
  -sINVOKE_RUN=0
  -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=${WEB_EXPORT_LIST}
  -sEXPORTED_RUNTIME_METHODS=FS,HEAPU8,UTF8ToString)

set(WEB_PAGE_FILES
  ${CMAKE_SOURCE_DIR}/web/index.html
  ${CMAKE_SOURCE_DIR}/src/platform/web_driver.js)
set(WEB_PLAYER_FILES
  ${ORVANTI_WEB_PLAYER}/chiptune3.js
  ${ORVANTI_WEB_PLAYER}/chiptune3.worklet.js
  ${ORVANTI_WEB_PLAYER}/libopenmpt.worklet.js
  ${ORVANTI_WEB_PLAYER}/LICENSE)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/index.html ${CMAKE_BINARY_DIR}/orvanti.dat ${CMAKE_BINARY_DIR}/orvanti.xm
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_PAGE_FILES} ${CMAKE_BINARY_DIR}/
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/chiptune3
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_PLAYER_FILES} ${CMAKE_BINARY_DIR}/chiptune3/
  COMMAND ${CMAKE_COMMAND} -E copy ${ORVANTI_WEB_DATA}/orvanti.dat ${ORVANTI_WEB_DATA}/orvanti.xm ${CMAKE_BINARY_DIR}/
  DEPENDS ${WEB_PAGE_FILES} ${WEB_PLAYER_FILES} ${ORVANTI_WEB_DATA}/orvanti.dat ${ORVANTI_WEB_DATA}/orvanti.xm
  COMMENT "Putting the page, the music player and the show's data beside orvanti.wasm")
add_custom_target(web_files ALL DEPENDS ${CMAKE_BINARY_DIR}/index.html)
