# The plain versions of the optimised routines and the LightWave file builder, built once for
# the test suites and the benchmark programs alike. Nothing here uses GoogleTest, so a build
# without tests still has it for the benchmarks; whichever of tests/ and bench/ comes first
# defines it.
if(NOT TARGET test_reference)
    add_library(test_reference STATIC
        ${CMAKE_CURRENT_LIST_DIR}/fx_reference.cpp
        ${CMAKE_CURRENT_LIST_DIR}/lwo_builder.cpp
        ${CMAKE_CURRENT_LIST_DIR}/particles_reference.cpp
        ${CMAKE_CURRENT_LIST_DIR}/raster_reference.cpp
        ${CMAKE_CURRENT_LIST_DIR}/rotozoom_reference.cpp)
    target_include_directories(test_reference PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(test_reference PUBLIC demo_core)
endif()
