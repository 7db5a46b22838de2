# Installing the program, and the Debian package made from the installed tree.
#
#   cmake --install build --prefix /usr/local      (any prefix; DESTDIR works)
#   cd build && cpack -G DEB                       (see tools/package.sh)
#
# Layout under the prefix (the programs find their data relative to their own
# folder, bin/../share/ammonite, so nothing of the build folder is needed):
#   bin/ammonite, bin/ammonite-batch
#   share/ammonite/gallery/            example forms: scenario and profile files
#   share/applications/ammonite.desktop
#   share/icons/hicolor/scalable/apps/ammonite.svg
#   share/man/man1/ammonite-batch.1.gz
#   share/doc/ammonite/                README.md, LICENSE, copyright
#   lib/python3/dist-packages/ammonite the Python package, when it is built
#                                      (lib/python3.X/dist-packages under a prefix other than /usr)
include(GNUInstallDirs)

# The gallery lookup of the programs assumes bin and share side by side.
set(AMMONITE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/ammonite)
set(AMMONITE_FULL_GALLERY_DIR ${CMAKE_INSTALL_FULL_DATADIR}/ammonite/gallery)
set(AMMONITE_FULL_DOC_DIR ${CMAKE_INSTALL_FULL_DOCDIR})
set(AMMONITE_PYTHON_DIR "" CACHE STRING
    "Folder under the prefix that receives the Python package (empty: the interpreter's dist-packages)")

install(TARGETS ammonite ammonite-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(EXISTS ${PROJECT_SOURCE_DIR}/gallery)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/gallery/ DESTINATION ${AMMONITE_DATA_DIR}/gallery
          FILES_MATCHING PATTERN "*.txt" PATTERN "*.toml")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/data/ammonite.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/ammonite.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page carries the version and the installed paths; compressed as
# Debian keeps its manual pages.
configure_file(${PROJECT_SOURCE_DIR}/docs/ammonite-batch.1.in ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1 @ONLY)
find_program(AMMONITE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1.gz
                   COMMAND ${AMMONITE_GZIP} -9nf -k ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1
                   DEPENDS ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1
                   COMMENT "Compressing the manual page")
add_custom_target(ammonite_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/docs/ammonite-batch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian looks for the licence under this name.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(AMMONITE_MAINTAINER "The ammonite developers <ammonite@localhost>" CACHE STRING
    "Maintainer named in the Debian package")

# The compiled module is made for one minor version of the interpreter (the
# one the Python package was built with, Debian's python3 when none is named).
macro(ammonite_python_version)
  set(AMMONITE_PYTHON_INTERPRETER /usr/bin/python3)
  foreach(found Python3_EXECUTABLE Python_EXECUTABLE PYTHON_EXECUTABLE)
    if(${found})
      set(AMMONITE_PYTHON_INTERPRETER ${${found}})
      break()
    endif()
  endforeach()
  execute_process(COMMAND ${AMMONITE_PYTHON_INTERPRETER} -c "import sys; print('%d;%d' % sys.version_info[:2])"
                  OUTPUT_VARIABLE ammonite_python_version OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE ammonite_python_failed ERROR_QUIET)
  if(ammonite_python_failed OR NOT ammonite_python_version)
    set(ammonite_python_version "3;11")  # Debian 12's
  endif()
  list(GET ammonite_python_version 0 ammonite_python_major)
  list(GET ammonite_python_version 1 ammonite_python_minor)
  math(EXPR ammonite_python_next "${ammonite_python_minor} + 1")
  set(AMMONITE_PYTHON_VERSION ${ammonite_python_major}.${ammonite_python_minor})
  set(AMMONITE_PYTHON_DEPENDS
      "python3 (>= ${AMMONITE_PYTHON_VERSION}), python3 (<< ${ammonite_python_major}.${ammonite_python_next}), python3-numpy, python3-pandas"
      CACHE STRING "Debian dependencies of the installed Python package")
endmacro()

# Debian's python3 looks for packages of the system (prefix /usr) in
# lib/python3/dist-packages and for those of any other prefix (/usr/local)
# in lib/python3.X/dist-packages; the prefix is known only when installing.
function(ammonite_install_python_package)
  install(CODE "
    set(folder \"${AMMONITE_PYTHON_DIR}\")
    if(NOT folder)
      if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(folder lib/python3/dist-packages)
      else()
        set(folder lib/python${AMMONITE_PYTHON_VERSION}/dist-packages)
      endif()
    endif()
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${folder}\" TYPE DIRECTORY
         FILES \"${PROJECT_BINARY_DIR}/python/ammonite\"
         PATTERN \"__pycache__\" EXCLUDE PATTERN \"*.pyc\" EXCLUDE)")
endfunction()

# The Python package and the package description are settled at the end of
# the top folder, whatever the order in which the folders were added: the
# Python package is installed only when its target exists.
macro(ammonite_finish_install)
  set(ammonite_depends "qt6-qpa-plugins, fonts-ipafont-gothic")
  if(TARGET ammonite_python)
    ammonite_python_version()
    ammonite_install_python_package()
    string(APPEND ammonite_depends ", ${AMMONITE_PYTHON_DEPENDS}")
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ammonite)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "The ammonite developers")
  set(CPACK_PACKAGE_CONTACT "${AMMONITE_MAINTAINER}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${AMMONITE_MAINTAINER}")
  # The shared libraries (Qt 6, the C++ runtime) as dpkg-shlibdeps finds them;
  # the rest is loaded at run time: the platform plugins, the log's font.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ammonite_depends}")
  # Sweeps on a Dask cluster, the morphospace example's figure, and the films
  # (MP4, WebM, GIF) the programs encode with ffmpeg.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-distributed, python3-matplotlib, ffmpeg")
  # The first line of the description is the summary above.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "An interactive simulator of heteromorph ammonite shells: the shell grows as a\n"
      "tube from parameter profiles, a growth-regulation model takes over from stage\n"
      "201, and the hydrostatics of the shell (buoyancy, mass, density, life\n"
      "orientation) are computed after every stage. The shell is drawn as a\n"
      "wireframe or as a shaded, ribbed surface, and exported as pictures, tables\n"
      "and meshes.\n"
      "\n"
      "This package holds the windows (ammonite), the headless batch tool\n"
      "(ammonite-batch) with its manual page, a gallery of example forms and,\n"
      "when built, the Python module.")
  include(CPack)
endmacro()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL ammonite_finish_install)
