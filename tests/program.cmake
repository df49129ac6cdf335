# The whole-program suite runs the real `demo` and talks to its window through Xlib.
if(TARGET program_test)
    find_package(X11 REQUIRED)
    target_link_libraries(program_test PRIVATE X11::X11)
    add_dependencies(program_test demo)
    # The windowed configuration (FullScreen 0) of the same program: the shell's two
    # configuration-dependent files built again over the SDL back end, as the Windows build
    # makes demo-windowed.exe.
    if(TARGET platform_sdl)
        add_executable(demo-windowed ${PROJECT_SOURCE_DIR}/src/shell/main.cpp
                                     ${PROJECT_SOURCE_DIR}/src/shell/display.cpp
                                     ${PROJECT_SOURCE_DIR}/src/shell/demo.cpp)
        target_compile_definitions(demo-windowed PRIVATE DEMO_FULLSCREEN=0 DEMO_FLIPCHAIN=0)
        target_link_libraries(demo-windowed PRIVATE demo_core platform_sdl)
        set_target_properties(demo-windowed PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
        add_dependencies(program_test demo-windowed)
    endif()
endif()
