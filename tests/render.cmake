# The offline renderer's suite runs it in-process.
target_link_libraries(render_test PRIVATE render_lib)
target_link_libraries(show_test PRIVATE render_lib)

# The renderer's own check of every frame and of the music against the show's manifest.
add_test(NAME render_manifest_check
         COMMAND demo-render --quiet --check ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/tests/golden/show.frames
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(render_manifest_check PROPERTIES TIMEOUT 600)

# The photosensitivity note in the README, the web page, the Windows zip's README and the Debian
# package's metainfo says what the flash check says now: a change to the pictures that changes
# the verdict or its times fails here until the notes are written again (demo-render
# --flash-check --note FILE).
add_test(NAME render_flash_note
         COMMAND demo-render --quiet --flash-check
                 --check-note ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/README.md
                 --check-note ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/src/platform/web/index.html
                 --check-note ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/packaging/windows-README.txt
                 --check-note ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/packaging/debian/duziv2i.metainfo.xml
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(render_flash_note PROPERTIES TIMEOUT 600)
