# The offline renderer's suite runs it in-process.
target_link_libraries(render_test PRIVATE render_lib)
