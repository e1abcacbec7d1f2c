# Project-wide compile and link settings, applied per target with vandreth_settings().

function(vandreth_settings target)
  target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 /EHsc)
    # The manifest comes from the resource script; the linker must not add one of its own.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
    # The C and C++ runtimes go into the binary, so it needs only the DLLs that Windows ships.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
  endif()
endfunction()
