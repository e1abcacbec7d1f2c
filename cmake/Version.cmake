# The program's version, from project(): a generated header that the version resource and the
# user agent both include (target vandreth_version).

configure_file(${CMAKE_CURRENT_LIST_DIR}/VandrethVersion.h.in ${CMAKE_BINARY_DIR}/generated/VandrethVersion.h
               @ONLY)
add_library(vandreth_version INTERFACE)
target_include_directories(vandreth_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
