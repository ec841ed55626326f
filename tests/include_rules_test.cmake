# Checks the direction of the includes in SOURCE_DIR/src: only app/ includes app/, book/
# includes nothing above it, the statistics do not reach into the reader, gui/ includes no
# window, the exercises' logic includes only book/ and itself (their windows gui/ and timer/
# as well), and only app/ includes an exercise window. Every offending line is listed.
cmake_minimum_required(VERSION 3.25)

# folder: the include prefixes its files must not use. The exercises' windows (exercises/form_*)
# are included by app/ alone.
set(rules
    "book:app/|gui/|reader/|settings/|stats/|formatter/|timer/|tool/|exercises/"
    "gui:app/|reader/|settings/|stats/|formatter/|timer/|tool/|exercises/"
    "reader:app/|exercises/form_"
    "settings:app/|exercises/form_"
    "stats:app/|reader/|exercises/form_"
    "formatter:app/|exercises/form_"
    "timer:app/|exercises/form_"
    "tool:app/|exercises/form_"
    "exercises:app/|gui/|reader/|settings/|stats/|formatter/|timer/|tool/")

file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*")
set(failures "")
foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/src/${folder}" OR folder STREQUAL "app")
        continue()
    endif()
    # A folder the list does not name yet may still not include app/ nor an exercise window.
    set(forbidden "app/|exercises/form_")
    foreach(rule IN LISTS rules)
        if(rule MATCHES "^${folder}:(.*)$")
            set(forbidden "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    file(GLOB_RECURSE files "${SOURCE_DIR}/src/${folder}/*.h" "${SOURCE_DIR}/src/${folder}/*.cpp")
    foreach(file IN LISTS files)
        set(not_here "${forbidden}")
        # The exercise windows are windows: they use what the other windows share and the timer.
        get_filename_component(base "${file}" NAME)
        if(folder STREQUAL "exercises" AND base MATCHES "^form_")
            set(not_here "app/|reader/|settings/|stats/|formatter/|tool/")
        endif()
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${not_here})")
        foreach(line IN LISTS lines)
            file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
            string(APPEND failures "\n  ${name}: ${line}")
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "includes against the direction of the layers:${failures}")
endif()
