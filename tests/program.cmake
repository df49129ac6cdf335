# The whole-program suite runs the real `demo` and talks to its window through Xlib.
if(TARGET program_test)
    find_package(X11 REQUIRED)
    target_link_libraries(program_test PRIVATE X11::X11)
    add_dependencies(program_test demo)
endif()
