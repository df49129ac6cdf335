# The offline renderer's suite runs it in-process.
target_link_libraries(render_test PRIVATE render_lib)
target_link_libraries(show_test PRIVATE render_lib)

# The renderer's own check of every frame and of the music against the show's manifest.
add_test(NAME render_manifest_check
         COMMAND demo-render --quiet --check ${HOST_PATH_PREFIX}${PROJECT_SOURCE_DIR}/tests/golden/show.frames
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(render_manifest_check PROPERTIES TIMEOUT 600)
