# The show in a web browser: the shell and the scenes as they are, over the web back end (a
# <canvas>, keys from the page, Web Audio), with the data packaged beside the program. The page
# is one static folder, DEMO_WEB_DIR, that any web server can host: index.html, demo.js,
# demo.wasm, demo.data and their compressed copies (*.gz), music-worklet.js, the project's
# LICENSE and THIRD-PARTY-NOTICES.txt.
set(DEMO_WEB_DIR ${CMAKE_BINARY_DIR}/page CACHE PATH "The folder of the page")

add_demo_program(web)
set_target_properties(demo PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${DEMO_WEB_DIR}
    LINK_DEPENDS "${CMAKE_BINARY_DIR}/data/.complete;${PROJECT_SOURCE_DIR}/src/platform/web/asyncify.txt")
add_dependencies(demo data)

target_link_options(demo PRIVATE
    # The scenes' frame loops yield to the browser at every presented frame. Only the functions
    # on the way from main down to that wait are rewritten for it (src/platform/web/asyncify.txt);
    # after the link, scripts/check-frame-wait.py holds the list against the program (through
    # the symbol map) and fails the build when it names a function the program lacks or lacks
    # one on the way.
    -sASYNCIFY
    -sASYNCIFY_ONLY=@${PROJECT_SOURCE_DIR}/src/platform/web/asyncify.txt
    --emit-symbol-map
    -sALLOW_MEMORY_GROWTH
    # The page starts the program on a click, and hears how it ended.
    -sINVOKE_RUN=0
    -sEXIT_RUNTIME
    "-sEXPORTED_RUNTIME_METHODS=['callMain','FS']"
    "-sEXPORTED_FUNCTIONS=['_main','_WebFillAudio']"
    --preload-file ${CMAKE_BINARY_DIR}/data@data
    --exclude-file *.complete)

find_program(DEMO_PYTHON3 python3 REQUIRED)
add_custom_command(TARGET demo POST_BUILD
    COMMAND ${DEMO_PYTHON3} ${PROJECT_SOURCE_DIR}/scripts/check-frame-wait.py
            ${DEMO_WEB_DIR}/demo.wasm ${DEMO_WEB_DIR}/demo.js.symbols
            ${PROJECT_SOURCE_DIR}/src/platform/web/asyncify.txt WebWaitForFrame
    COMMAND ${CMAKE_COMMAND} -E rename ${DEMO_WEB_DIR}/demo.js.symbols
            ${CMAKE_BINARY_DIR}/demo.js.symbols
    COMMENT "The frame wait's list against the program")

# The compressed copies of the downloads and index.html with their sizes, for the loading bar.
set(DEMO_PAGE_PACKED ${DEMO_WEB_DIR}/index.html ${DEMO_WEB_DIR}/demo.js.gz
    ${DEMO_WEB_DIR}/demo.wasm.gz ${DEMO_WEB_DIR}/demo.data.gz)
add_custom_command(
    OUTPUT ${DEMO_PAGE_PACKED}
    COMMAND ${DEMO_PYTHON3} ${PROJECT_SOURCE_DIR}/scripts/pack-page.py ${DEMO_WEB_DIR}
            ${PROJECT_SOURCE_DIR}/src/platform/web/index.html
    DEPENDS demo ${PROJECT_SOURCE_DIR}/src/platform/web/index.html
            ${PROJECT_SOURCE_DIR}/scripts/pack-page.py
    COMMENT "The page's compressed downloads and index.html")
add_custom_target(page ALL DEPENDS ${DEMO_PAGE_PACKED})
configure_file(src/platform/web/music-worklet.js ${DEMO_WEB_DIR}/music-worklet.js COPYONLY)
configure_file(LICENSE ${DEMO_WEB_DIR}/LICENSE COPYONLY)

# The notices of everything linked into the program besides our code. wasm-ld lists each file
# it loads (--trace); the link runs through scripts/notices.py, which keeps that list in
# demo.link-trace, and the notices are made from it (the build stops when a component has no
# known licence text).
set(DEMO_LINK_TRACE ${CMAKE_BINARY_DIR}/demo.link-trace)
target_link_options(demo PRIVATE -Wl,--trace)
set(DEMO_LINK_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${DEMO_PYTHON3}
    ${PROJECT_SOURCE_DIR}/scripts/notices.py trace-link ${DEMO_LINK_TRACE} --)
set_target_properties(demo PROPERTIES CXX_LINKER_LAUNCHER "${DEMO_LINK_LAUNCHER}")
set(DEMO_NOTICES ${DEMO_WEB_DIR}/THIRD-PARTY-NOTICES.txt)
add_custom_command(
    OUTPUT ${DEMO_NOTICES}
    COMMAND ${DEMO_PYTHON3} ${PROJECT_SOURCE_DIR}/scripts/notices.py web
            --trace ${DEMO_LINK_TRACE} --page ${DEMO_WEB_DIR} --out ${DEMO_NOTICES}
    DEPENDS demo ${DEMO_PAGE_PACKED} ${PROJECT_SOURCE_DIR}/scripts/notices.py
    COMMENT "Third-party notices of the page, from its link")
add_custom_target(notices ALL DEPENDS ${DEMO_NOTICES})
