# The version: one number, project(... VERSION ...) in the top CMakeLists.txt.
# It reaches the C++ code as core/version.h (in the build tree, seen by every
# layer through the core library) and the Python package as _version.py.
set(AMMONITE_GENERATOR "ammonite ${PROJECT_VERSION}")
set(AMMONITE_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${AMMONITE_GENERATED_INCLUDE}/core/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/_version.py.in ${PROJECT_BINARY_DIR}/python/ammonite/_version.py @ONLY)
target_include_directories(ammonite_core PUBLIC ${AMMONITE_GENERATED_INCLUDE})
