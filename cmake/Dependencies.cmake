# nlohmann-json and GoogleTest.
#
# In the mingw cross build both come from Debian's packages. nlohmann-json's own CMake config
# would put the whole host include folder (/usr/include) on the include path, which drags
# glibc headers into a Windows build, so the cross build gets an include folder that holds
# nothing but a link to the installed nlohmann headers.

if(CMAKE_CROSSCOMPILING AND EXISTS /usr/include/nlohmann/json.hpp)
  set(_nlohmann_root ${CMAKE_BINARY_DIR}/nlohmann-include)
  file(MAKE_DIRECTORY ${_nlohmann_root})
  file(CREATE_LINK /usr/include/nlohmann ${_nlohmann_root}/nlohmann SYMBOLIC)
  add_library(nlohmann_json INTERFACE)
  target_include_directories(nlohmann_json SYSTEM INTERFACE ${_nlohmann_root})
  add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
else()
  find_package(nlohmann_json 3.11 CONFIG REQUIRED)
endif()

if(VANDRETH_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING AND EXISTS /usr/src/googletest/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    find_package(GTest CONFIG REQUIRED)
  endif()
endif()
