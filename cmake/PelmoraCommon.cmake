# Warnings, sanitizers, GoogleTest and the test registration shared by both toolchains.

set(PELMORA_WARNINGS -Wall -Wextra -Werror)

if(PELMORA_WIN32)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600
                            WINVER=0x0600)
    # Self-contained binaries: no libgcc/libstdc++ DLLs to install next to them.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # Tests and tools run under Wine, in one session per run (see wine-session.sh).
    set(PELMORA_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        file(WRITE ${PELMORA_WINE_ROOT}/arch "win64\n")
    else()
        file(WRITE ${PELMORA_WINE_ROOT}/arch "win32\n")
    endif()
    # The VGA handheld (480 x 640 at 192 DPI) runs in a session of its own: the DPI is the
    # prefix's.
    set(PELMORA_WINE_VGA_ROOT ${CMAKE_BINARY_DIR}/wine-vga)
    file(READ ${PELMORA_WINE_ROOT}/arch arch)
    file(WRITE ${PELMORA_WINE_VGA_ROOT}/arch "${arch}")
    file(WRITE ${PELMORA_WINE_VGA_ROOT}/dpi "192\n")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${PELMORA_WINE_ROOT})
    # The emulated device's stand-in platform libraries (cemapi.dll, ...) are built into one
    # folder that wine-env.sh puts on Wine's search path, as the handheld's \Windows is.
    set(PELMORA_DEVICE_BIN ${CMAKE_BINARY_DIR}/bin)
elseif(PELMORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Applies the project's warning set to one target.
function(pelmora_warnings target)
    target_compile_options(${target} PRIVATE ${PELMORA_WARNINGS})
endfunction()

# Has the linker write TARGET.map with its cross-reference table next to the built file:
# which object refers to which symbol, so the import check can tell the program's own
# imports from those of the toolchain's runtime.
function(pelmora_link_map target)
    target_link_options(${target} PRIVATE
        "LINKER:-Map=$<TARGET_FILE_DIR:${target}>/${target}.map,--cref")
endfunction()

# GoogleTest from the machine's sources, built with whichever toolchain is active.
set(PELMORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${PELMORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One test executable is one CTest test: a Wine process start costs about half a second.
# pelmora_add_test(NAME SOURCES ... LIBS ... [WINDOWS] [LOCKS lock...] [TIMEOUT s])
# WINDOWS marks tests that open windows: they share the run's Xvfb display, whose foreground
# window and input focus are one for all, so they hold it one at a time.
# LOCKS names shared paths on the emulated C: drive that the test must hold alone.
function(pelmora_add_test name)
    cmake_parse_arguments(T "WINDOWS" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
    pelmora_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set(timeout 300)
    if(T_TIMEOUT)
        set(timeout ${T_TIMEOUT})
    endif()
    # A Windows program reads a path without a drive letter as relative to its folder, so
    # under Wine the report goes through the Z: drive that maps the Linux root.
    set(report ${CMAKE_BINARY_DIR}/test-results/${name}.xml)
    if(PELMORA_WIN32)
        set(report Z:${report})
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout}
        ENVIRONMENT "GTEST_OUTPUT=xml:${report}"
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    if(PELMORA_WIN32)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session)
    endif()
    if(T_WINDOWS)
        list(APPEND T_LOCKS pelmora_display)
    endif()
    if(T_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-results)

# The Wine session: one wineserver and one Xvfb for the whole run.
if(PELMORA_WIN32)
    add_test(NAME wine_session_start
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start ${PELMORA_WINE_ROOT})
    add_test(NAME wine_session_stop
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop ${PELMORA_WINE_ROOT})
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 300)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session)
    add_test(NAME wine_session_vga_start
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start ${PELMORA_WINE_VGA_ROOT})
    add_test(NAME wine_session_vga_stop
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop ${PELMORA_WINE_VGA_ROOT})
    set_tests_properties(wine_session_vga_start PROPERTIES FIXTURES_SETUP wine_session_vga
                                                           TIMEOUT 300)
    set_tests_properties(wine_session_vga_stop PROPERTIES FIXTURES_CLEANUP wine_session_vga)
endif()

# Runs the Windows test program `target` once more, on the VGA handheld's session, with the
# GoogleTest `filter`: pelmora_add_vga_test(NAME TARGET FILTER).
function(pelmora_add_vga_test name target filter)
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${PELMORA_WINE_VGA_ROOT}
                     $<TARGET_FILE:${target}> --gtest_filter=${filter})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
        ENVIRONMENT "GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/test-results/${name}.xml"
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        FIXTURES_REQUIRED wine_session_vga RESOURCE_LOCK pelmora_display)
endfunction()
