# The shell in its two other working display configurations: the same shell sources built again
# with other values of FullScreen and FlipChain, each with its own suite.
foreach(config "windowed 0 0" "fullscreen_noflip 1 0")
    separate_arguments(config)
    list(GET config 0 name)
    list(GET config 1 fullscreen)
    list(GET config 2 flipchain)
    add_executable(shell_${name}_test configs/shell_${name}.cpp
                   ${PROJECT_SOURCE_DIR}/src/shell/display.cpp
                   ${PROJECT_SOURCE_DIR}/src/shell/demo.cpp)
    target_compile_definitions(shell_${name}_test PRIVATE
        DEMO_FULLSCREEN=${fullscreen} DEMO_FLIPCHAIN=${flipchain})
    target_link_libraries(shell_${name}_test PRIVATE test_support GTest::gtest_main)
    add_suite_tests(shell_${name}_test)
endforeach()
