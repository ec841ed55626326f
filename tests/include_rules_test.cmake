# Checks the direction of the includes in SOURCE_DIR/src: only app/ includes app/, book/
# includes nothing above it, the statistics do not reach into the reader, and gui/ includes no
# window. Every offending line is listed.
cmake_minimum_required(VERSION 3.25)

# folder: the include prefixes its files must not use
set(rules
    "book:app/|gui/|reader/|settings/|stats/|formatter/|timer/|tool/"
    "gui:app/|reader/|settings/|stats/|formatter/|timer/|tool/"
    "reader:app/"
    "settings:app/"
    "stats:app/|reader/"
    "formatter:app/"
    "exercises:app/|reader/|settings/|stats/|formatter/|tool/"
    "timer:app/"
    "tool:app/")

file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*")
set(failures "")
foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/src/${folder}" OR folder STREQUAL "app")
        continue()
    endif()
    # A folder the list does not name yet may still not include app/.
    set(forbidden "app/")
    foreach(rule IN LISTS rules)
        if(rule MATCHES "^${folder}:(.*)$")
            set(forbidden "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    file(GLOB_RECURSE files "${SOURCE_DIR}/src/${folder}/*.h" "${SOURCE_DIR}/src/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${forbidden})")
        foreach(line IN LISTS lines)
            file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
            string(APPEND failures "\n  ${name}: ${line}")
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "includes against the direction of the layers:${failures}")
endif()
