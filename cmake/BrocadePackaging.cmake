# What goes into a package beside the binaries, and how cpack names and describes it:
# `cpack -G DEB` in a Linux build, `cpack -G ZIP` in the mingw-w64 build (scripts/package).

if(WIN32)
  set(brocade_doc_dir doc)
else()
  set(brocade_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${BROCADE_PACKAGE_NAME})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_SOURCE_DIR}/NOTICE.md
  DESTINATION ${brocade_doc_dir} COMPONENT module)
# The licences of what is compiled into the module, as Debian ships them with the sources we build
# from: the JSON library everywhere; on Windows also the C++ runtime and the MinGW runtime
# (winpthreads), which are linked in statically.
set(brocade_notices nlohmann-json3-dev)
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND brocade_notices gcc-mingw-w64-base mingw-w64-x86-64-dev)
endif()
foreach(package ${brocade_notices})
  if(EXISTS /usr/share/doc/${package}/copyright)
    install(FILES /usr/share/doc/${package}/copyright RENAME ${package}.copyright.txt
      DESTINATION ${brocade_doc_dir} COMPONENT module)
  endif()
endforeach()

# cpack would otherwise build every target first, tests and benchmarks included; whoever packs
# has built what is packed (scripts/package builds the module and the probe).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME ${BROCADE_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "${BROCADE_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Inventory and diagnostics of Brocade Fibre Channel adapters for the Vornet host framework")
set(CPACK_PACKAGE_CONTACT "${BROCADE_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The stand-ins for the host's logger and cimom, GoogleTest and anything else with an install
# rule of its own stay out: only our three components are packed, into one package.
set(CPACK_COMPONENTS_ALL module development probe)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# Debian policy and what a host ships: no debug sections in the package.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  # Dependencies from the libraries the module and the probe really link (dpkg-shlibdeps). The
  # host's logger and cimom are no Debian package: dpkg-shlibdeps finds them in the build tree
  # and declares nothing for them; the host brings them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  get_target_property(logger_dir logger BINARY_DIR)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${logger_dir})
endif()
include(CPack)
