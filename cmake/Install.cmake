# Installation and the Debian package.
#
#   cmake --install BUILD [--prefix /usr]       (DESTDIR=... for a staging root)
#   cmake --build BUILD --target package        -> tarvex_<version>_<arch>.deb
#
# Layout (below the prefix):
#   bin/                             tarvex, tarvex-station, tarvex-let, tarvex-controller-sim
#   share/tarvex/                    README.md, Tarvex.htm (the help page), demo-site/
#   share/tarvex/stopping/           scoef.95a, scoef.95b, scoefgas.95 (TRIM-95 coefficients)
#   share/applications/              tarvex.desktop
#   share/icons/hicolor/scalable/apps/tarvex.svg
#   share/man/man1/                  tarvex.1, tarvex-let.1, tarvex-controller-sim.1
#   share/doc/tarvex/copyright       the licence (GPL-3.0-or-later) and the data's provenance
include(GNUInstallDirs)

set(TARVEX_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/tarvex")
set(TARVEX_MAN_DIR "${CMAKE_BINARY_DIR}/man")

# Manual pages, all written by cmake/ManPage.cmake: tarvex-let's from its
# --help and data/man/tarvex-let.txt, the console's from data/man/tarvex.txt.
function(tarvex_man_page name)
  cmake_parse_arguments(PARSE_ARGV 1 page "" "PROGRAM" "")
  set(output "${TARVEX_MAN_DIR}/${name}.1")
  set(text "${CMAKE_SOURCE_DIR}/data/man/${name}.txt")
  set(arguments -DNAME=${name} -DVERSION=${PROJECT_VERSION} -DTEXT=${text} -DOUTPUT=${output}
                -DDATADIR=${CMAKE_INSTALL_FULL_DATADIR}/tarvex)
  set(depends "${text}" "${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake")
  if(page_PROGRAM)
    list(APPEND arguments -DPROGRAM=$<TARGET_FILE:${page_PROGRAM}>)
    list(APPEND depends ${page_PROGRAM})
  endif()
  add_custom_command(OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${TARVEX_MAN_DIR}"
    COMMAND ${CMAKE_COMMAND} ${arguments} -P "${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake"
    DEPENDS ${depends}
    COMMENT "Writing the manual page ${name}.1"
    VERBATIM)
  add_custom_target(tarvex_man_${name} ALL DEPENDS "${output}")
  install(FILES "${output}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()

# Programs.
foreach(program tarvex tarvex-let tarvex-controller-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
endforeach()

# The licence and where the coefficient data come from, where Debian keeps a
# package's copyright file.
install(FILES "${CMAKE_SOURCE_DIR}/data/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tarvex")

# Data: the demonstration station, the help page and the README.
install(DIRECTORY "${CMAKE_SOURCE_DIR}/examples/demo-site/" DESTINATION "${TARVEX_INSTALL_DATADIR}/demo-site")
install(FILES "${CMAKE_SOURCE_DIR}/examples/demo-site/Tarvex.htm" "${CMAKE_SOURCE_DIR}/README.md"
        DESTINATION "${TARVEX_INSTALL_DATADIR}")
# The stopping-power coefficient files (tarvex-let's default, and the demo
# copy's made by tarvex-station).
install(FILES "${CMAKE_SOURCE_DIR}/data/stopping/scoef.95a" "${CMAKE_SOURCE_DIR}/data/stopping/scoef.95b"
              "${CMAKE_SOURCE_DIR}/data/stopping/scoefgas.95" "${CMAKE_SOURCE_DIR}/data/stopping/README.md"
        DESTINATION "${TARVEX_INSTALL_DATADIR}/stopping")

if(TARGET tarvex-let)
  tarvex_man_page(tarvex-let PROGRAM tarvex-let)
endif()
tarvex_man_page(tarvex-controller-sim PROGRAM tarvex-controller-sim)

if(TARGET tarvex)
  # The desktop's way in: the launcher chooses the working folder.
  file(RELATIVE_PATH TARVEX_DATADIR_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
       "${CMAKE_INSTALL_FULL_DATADIR}/tarvex")
  configure_file("${CMAKE_SOURCE_DIR}/data/tarvex-station.in" "${CMAKE_BINARY_DIR}/tarvex-station" @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  install(PROGRAMS "${CMAKE_BINARY_DIR}/tarvex-station" DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES "${CMAKE_SOURCE_DIR}/data/tarvex.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${CMAKE_SOURCE_DIR}/data/tarvex.svg"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  tarvex_man_page(tarvex PROGRAM tarvex)
endif()

# The Debian package.
# The Maintainer field: "Name <address>" of whoever builds and answers for the
# package, given at configure time (-DTARVEX_PACKAGE_MAINTAINER=...) or when
# packaging (the environment variable of the same name); without one the
# package is not built.
set(TARVEX_PACKAGE_MAINTAINER "" CACHE STRING "The Maintainer field of the Debian package: Name <address>")
if(TARVEX_PACKAGE_MAINTAINER STREQUAL "")
  message(STATUS "Debian package: no Maintainer yet; set TARVEX_PACKAGE_MAINTAINER=\"Name <address>\" "
                 "(here or in the environment of `--target package`)")
endif()
configure_file("${CMAKE_SOURCE_DIR}/cmake/PackageMaintainer.cmake.in" "${CMAKE_BINARY_DIR}/PackageMaintainer.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/PackageMaintainer.cmake")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarvex")
set(CPACK_PACKAGE_VENDOR "Tarvex")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TARVEX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVEX_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator console of a heavy-ion single-event-effects test station")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tarvex places the device under test in the ion beam with the station's\n"
  "motorised axes, switches the camera, lights, lasers and beam shutters,\n"
  "keeps named positions, and shows the energy, LET and range of the ion\n"
  "at the device through the degrader and the device's layers.\n"
  ".\n"
  "The package holds the console (tarvex, and tarvex-station, which the\n"
  "desktop entry runs), the planning tool tarvex-let, the stand-in motion\n"
  "controller tarvex-controller-sim, a demonstration station and the\n"
  "TRIM-95 stopping-power coefficient files of Ziegler, Biersack and\n"
  "Littmark.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries the programs link (Qt 6, the C++ run-time) come from
# dpkg-shlibdeps; the Qt platform plugins are loaded at run time, so the
# console names them itself. The help page and the text viewer open with
# xdg-open, so xdg-utils is a dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET tarvex)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
endif()
include(CPack)
