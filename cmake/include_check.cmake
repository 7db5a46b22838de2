# Fails when a source file includes a header by a path that climbs out of its
# folder (#include "../..."): such an include bypasses the layer folders.
#   cmake -DROOT=<source tree> -P include_check.cmake
file(GLOB_RECURSE sources ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp
     ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp ${ROOT}/examples/*.cpp ${ROOT}/python/src/*.h ${ROOT}/python/src/*.cpp
     ${ROOT}/fuzz/*.cpp)
set(bad "")
foreach(file ${sources})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"\\.\\.")
  foreach(line ${lines})
    file(RELATIVE_PATH name ${ROOT} ${file})
    string(APPEND bad "\n  ${name}: ${line}")
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "An include climbs out of its folder; include the header by its layer path instead:${bad}")
endif()
