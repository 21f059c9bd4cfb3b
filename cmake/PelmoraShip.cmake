# How the deliverables ship: small, stripped, versioned.
#
# The handheld loads Pelmora.dll into the Inbox's own process, so its size is paid in every
# address space there. Where the bytes go shows in each deliverable's map file
# (<name>.map next to it); the cuts below are the cheap ones that change nothing the
# product relies on.

if(NOT PELMORA_WIN32)
    return()
endif()

# Size before speed in all Windows code (the text work's speed goal is measured on the
# native build), one section per function so the linker can drop what nothing reaches, and
# debug information for the separate debug files. Not -fdata-sections: mingw's compiler then
# stores zero-filled data (a 64 KB decoding table) in the file instead of leaving it to .bss.
add_compile_options(-Os -g -ffunction-sections)
add_link_options(-Wl,--gc-sections)

# C symbols carry a leading underscore on i686 Windows only.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PELMORA_SYMBOL_PREFIX _)
else()
    set(PELMORA_SYMBOL_PREFIX "")
endif()

# One version number, taken from project(), for both deliverables' version resources.
configure_file(${CMAKE_CURRENT_LIST_DIR}/pelmora_version.h.in
               ${CMAKE_BINARY_DIR}/generated/pelmora_version.h @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated")

# pelmora_deliverable(TARGET): links TARGET in its shipped form. Its debug information
# moves to TARGET's file name plus ".debug" next to it, which the stripped file names in
# its .gnu_debuglink section (where gdb looks for it).
function(pelmora_deliverable target)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/platform/lean_runtime.cpp)
    # The resource compiler reports no included files: name the version resource's.
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.rc$")
    set_property(SOURCE ${sources} APPEND PROPERTY OBJECT_DEPENDS
        ${CMAKE_SOURCE_DIR}/platform/version_info.rc ${CMAKE_BINARY_DIR}/generated/pelmora_version.h)
    target_link_options(${target} PRIVATE
        # The default terminate handler prints the exception's demangled type to stderr,
        # which a handheld program does not have; its demangler and the C99 printf it
        # formats with are a large part of the runtime. std::terminate still aborts.
        -Wl,--defsym,${PELMORA_SYMBOL_PREFIX}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${PELMORA_SYMBOL_PREFIX}abort)
    pelmora_link_map(${target})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}>
                $<TARGET_FILE_NAME:${target}>.debug
        COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE_NAME:${target}>
        COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
                $<TARGET_FILE_NAME:${target}>
        WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
        VERBATIM)
endfunction()
