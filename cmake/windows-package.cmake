# The zip a Windows user downloads: demo.exe, its data/ folder and a short README.txt, in
# <build>/Duziv2i-windows-x64.zip (or -x86). demo.exe is linked statically and needs no DLL.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(DEMO_WINDOWS_ARCH x64)
else()
    set(DEMO_WINDOWS_ARCH x86)
endif()
set(DEMO_ZIP ${CMAKE_BINARY_DIR}/Duziv2i-windows-${DEMO_WINDOWS_ARCH}.zip)
set(DEMO_STAGE ${CMAKE_BINARY_DIR}/package)

# The README in the zip has Windows line ends, so that Notepad shows it right everywhere.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-README.txt ${CMAKE_BINARY_DIR}/README.txt
               NEWLINE_STYLE CRLF)

add_custom_command(
    OUTPUT ${DEMO_ZIP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_STAGE}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:demo> ${CMAKE_BINARY_DIR}/README.txt ${DEMO_STAGE}
    COMMAND ${CMAKE_STRIP} ${DEMO_STAGE}/demo.exe
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_BINARY_DIR}/data ${DEMO_STAGE}/data
    COMMAND ${CMAKE_COMMAND} -E rm -f ${DEMO_STAGE}/data/.complete
    COMMAND ${CMAKE_COMMAND} -E rm -f ${DEMO_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${DEMO_STAGE}
            ${CMAKE_COMMAND} -E tar cf ${DEMO_ZIP} --format=zip demo.exe README.txt data
    DEPENDS demo ${CMAKE_BINARY_DIR}/data/.complete ${CMAKE_BINARY_DIR}/README.txt
    COMMENT "Packing Duziv2i-windows-${DEMO_WINDOWS_ARCH}.zip")
add_custom_target(package_zip ALL DEPENDS ${DEMO_ZIP})
