# Where the build's x86 vector code is: only in the files compiled for an instruction set, and
# nowhere in the portable build.
if(DEMO_VECTOR_SOURCES)
    add_test(NAME vector_files_isolated
             COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM}
                     "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:demo_core>,|>"
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-vector-code.cmake)
endif()
if(DEMO_TARGET_X86 AND DEMO_PORTABLE_PATHS AND TARGET demo-render)
    add_test(NAME portable_has_no_avx
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
                     -DPLAIN_PROGRAM=$<TARGET_FILE:demo-render>
                     -P ${PROJECT_SOURCE_DIR}/cmake/check-vector-code.cmake)
endif()
