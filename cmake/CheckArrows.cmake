# Keeps the include arrows between our folders pointing one way: the commands never include
# the menu object that runs them (it includes them), and the platform floor includes none of
# our other folders. Run as a test: cmake -DSOURCE_DIR=... -P CheckArrows.cmake

# Each rule: a folder, then the folders its files must not include; "*" is every folder but
# its own.
set(rules
    "reply:menuext"
    "connections:menuext"
    "platform:*")

set(broken "")
foreach(rule IN LISTS rules)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(GET parts 1 forbidden)
    file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}"
        "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp"
        "${SOURCE_DIR}/${folder}/*.rc")
    foreach(file IN LISTS files)
        file(STRINGS "${SOURCE_DIR}/${file}" includes
            REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" target "${line}")
            if(target STREQUAL folder)
                continue()
            endif()
            if(forbidden STREQUAL "*" OR target STREQUAL forbidden)
                string(APPEND broken "  ${file}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(broken)
    message(FATAL_ERROR "includes that run against the arrows:\n${broken}")
endif()
