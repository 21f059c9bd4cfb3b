# The portable rules of the advanced sheet (the address box rule of the contact browse, the
# quote page's fields; tested on both toolchains) and the call to the device's contact
# chooser.
add_library(pelmora_contact_pick STATIC ${CMAKE_CURRENT_LIST_DIR}/contact_pick.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quote_fields.cpp)
target_include_directories(pelmora_contact_pick PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(pelmora_contact_pick PUBLIC pelmora_text pelmora_settings)
pelmora_warnings(pelmora_contact_pick)

if(PELMORA_WIN32)
    add_library(pelmora_contact_pick_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/contact_pick_win32.cpp)
    target_link_libraries(pelmora_contact_pick_win32 PUBLIC pelmora_contact_pick pimstore ole32
        oleaut32 uuid)
    pelmora_warnings(pelmora_contact_pick_win32)
endif()
