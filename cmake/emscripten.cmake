# The web build: Debian's emscripten (emcc 3.1.6). With Debian's nodejs, emcc finds its
# JavaScript parser (Debian's node-acorn) only through NODE_PATH, so every emcc call made by the
# build gets it here, whatever the user's shell holds. No emscripten "port" is used: ports
# download code while building.
set(ENV{NODE_PATH} /usr/share/nodejs)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
foreach(language C CXX)
    set(CMAKE_${language}_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
    set(CMAKE_${language}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
endforeach()
