# Installs the desktop files of BUILD_DIR into PREFIX and checks they land where desktops look.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                        --component desktop
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(share "${PREFIX}/share")
foreach(file IN ITEMS applications/lectorix.desktop mime/packages/lectorix-mime.xml
                      icons/hicolor/scalable/apps/lectorix.svg)
    if(NOT EXISTS "${share}/${file}")
        message(FATAL_ERROR "not installed: share/${file}")
    endif()
endforeach()
foreach(size IN ITEMS 16 32 48 64 128 256)
    if(NOT EXISTS "${share}/icons/hicolor/${size}x${size}/apps/lectorix.png")
        message(FATAL_ERROR "no ${size}x${size} icon")
    endif()
endforeach()

file(READ "${share}/applications/lectorix.desktop" entry)
foreach(line IN ITEMS "Icon=lectorix" "Exec=lectorix %f")
    string(FIND "${entry}" "\n${line}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "the .desktop file lacks '${line}'")
    endif()
endforeach()
foreach(type IN ITEMS application/x-lectorix-book application/x-fictionbook+xml
                      application/x-zip-compressed-fb2 application/epub+zip)
    string(REPLACE "+" "\\+" pattern "${type}")
    if(NOT entry MATCHES "\nMimeType=[^\n]*${pattern};")
        message(FATAL_ERROR "the .desktop file does not claim ${type}")
    endif()
endforeach()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
    execute_process(COMMAND "${VALIDATE}" "${share}/applications/lectorix.desktop"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "desktop-file-validate rejects the .desktop file")
    endif()
endif()
