# The zip a Windows user downloads: demo.exe, its data/ folder, a short README.txt, the
# project's LICENSE and THIRD-PARTY-NOTICES.txt, in <build>/Duziv2i-windows-x64.zip (or -x86).
# demo.exe is linked statically and needs no DLL.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(DEMO_WINDOWS_ARCH x64)
    set(DEMO_WINDOWS_BITS 64-bit)
else()
    set(DEMO_WINDOWS_ARCH x86)
    set(DEMO_WINDOWS_BITS 32-bit)
endif()
set(DEMO_ZIP ${CMAKE_BINARY_DIR}/Duziv2i-windows-${DEMO_WINDOWS_ARCH}.zip)
set(DEMO_STAGE ${CMAKE_BINARY_DIR}/package)

# The README in the zip has Windows line ends, so that Notepad shows it right everywhere. The
# marker lines around its photosensitivity note are for the note's writer (demo-render
# --flash-check --note), not for the reader: they are left out.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                       ${PROJECT_SOURCE_DIR}/packaging/windows-README.txt)
file(READ ${PROJECT_SOURCE_DIR}/packaging/windows-README.txt DEMO_README)
string(REGEX REPLACE "<!-- flash-note:[^\n]*-->\n" "" DEMO_README "${DEMO_README}")
file(WRITE ${CMAKE_BINARY_DIR}/README.in.txt "${DEMO_README}")
configure_file(${CMAKE_BINARY_DIR}/README.in.txt ${CMAKE_BINARY_DIR}/README.txt NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE @ONLY NEWLINE_STYLE CRLF)

# The notices of everything linked into demo.exe besides our code: the link writes a map of
# every object file and archive member it takes in, and scripts/notices.py finds each one's
# component and licence from it (and stops the build when one has no known licence text).
find_program(DEMO_PYTHON3 python3 REQUIRED)
set(DEMO_LINK_MAP ${CMAKE_BINARY_DIR}/demo.map)
target_link_options(demo PRIVATE -Wl,-Map=${DEMO_LINK_MAP})
set(DEMO_NOTICES ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
add_custom_command(
    OUTPUT ${DEMO_NOTICES}
    COMMAND ${DEMO_PYTHON3} ${PROJECT_SOURCE_DIR}/scripts/notices.py windows
            --map ${DEMO_LINK_MAP} --title "Duziv2i for Windows, ${DEMO_WINDOWS_BITS}"
            --out ${DEMO_NOTICES} --crlf
    DEPENDS demo ${PROJECT_SOURCE_DIR}/scripts/notices.py
    COMMENT "Third-party notices of demo.exe, from its link map")

add_custom_command(
    OUTPUT ${DEMO_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_STAGE}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:demo> ${CMAKE_BINARY_DIR}/README.txt
            ${CMAKE_BINARY_DIR}/LICENSE ${DEMO_NOTICES} ${DEMO_STAGE}
    COMMAND ${CMAKE_STRIP} ${DEMO_STAGE}/demo.exe
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_BINARY_DIR}/data ${DEMO_STAGE}/data
    COMMAND ${CMAKE_COMMAND} -E rm -f ${DEMO_STAGE}/data/.complete
    COMMAND ${CMAKE_COMMAND} -E rm -f ${DEMO_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${DEMO_STAGE}
            ${CMAKE_COMMAND} -E tar cf ${DEMO_ZIP} --format=zip demo.exe README.txt LICENSE
            THIRD-PARTY-NOTICES.txt data
    DEPENDS demo ${CMAKE_BINARY_DIR}/data/.complete ${CMAKE_BINARY_DIR}/README.txt
            ${CMAKE_BINARY_DIR}/LICENSE ${DEMO_NOTICES}
    COMMENT "Packing Duziv2i-windows-${DEMO_WINDOWS_ARCH}.zip")
add_custom_target(package_zip ALL DEPENDS ${DEMO_ZIP})
