# Checks where the build's x86 vector code is, by reading its objects and programs
# (cmake -P, with NM, OBJDUMP and one of the modes below).
#
# -DOBJECTS=a.o|b.o|...  Each file compiled for one instruction set defines nothing that another
#   file may define too (weak symbols: inline functions and templates the compiler did not inline
#   away). The linker keeps one copy of such a symbol for the whole program, and the copy
#   compiled for AVX2 would then run on processors without it.
# -DPLAIN_PROGRAM=file  The program holds no AVX instruction: no ymm or zmm register appears in
#   its code (the portable build, whose plain forms stand for other processors).

if(DEFINED OBJECTS)
    string(REPLACE "|" ";" OBJECTS "${OBJECTS}")
    list(FILTER OBJECTS INCLUDE REGEX "_(sse2|avx2|avx512)\\.cpp\\.o(bj)?$")
    if(NOT OBJECTS)
        message(FATAL_ERROR "no object compiled for an instruction set was given")
    endif()
    set(shared "")
    foreach(object IN LISTS OBJECTS)
        execute_process(COMMAND ${NM} -C --defined-only ${object} OUTPUT_VARIABLE symbols
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${NM} could not read ${object}")
        endif()
        string(REGEX MATCHALL "[^\n]* [WVu] [^\n]*" weak "${symbols}")
        # DW.ref.__gxx_personality_v0: the same pointer to the run time's exception handler in
        # every file that has exception tables (as the sanitizers give these files); data, not
        # code.
        list(FILTER weak EXCLUDE REGEX " DW\\.ref\\.__gxx_personality_v0$")
        foreach(symbol IN LISTS weak)
            string(APPEND shared "  ${object}: ${symbol}\n")
        endforeach()
    endforeach()
    list(LENGTH OBJECTS count)
    if(shared)
        message(FATAL_ERROR "symbols that other files may define too:\n${shared}")
    endif()
    message(STATUS "${count} objects for instruction sets define only their own symbols")
endif()

if(DEFINED PLAIN_PROGRAM)
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${PLAIN_PROGRAM}
                    OUTPUT_VARIABLE code RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${OBJDUMP} could not read ${PLAIN_PROGRAM}")
    endif()
    string(REGEX MATCHALL "[^\n]*%[yz]mm[0-9]+[^\n]*" wide "${code}")
    list(LENGTH wide count)
    if(count GREATER 0)
        list(SUBLIST wide 0 5 first)
        list(JOIN first "\n" first)
        message(FATAL_ERROR "${count} instructions use AVX registers, the first:\n${first}")
    endif()
    message(STATUS "${PLAIN_PROGRAM}: no AVX register in its code")
endif()
