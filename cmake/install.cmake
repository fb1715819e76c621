# Installation and packaging of the packing tool: brondale-pack in bin/, the
# programs it packs (installer, uninstaller, a new product's placeholder) in
# share/brondale/, where the tool looks for them. The native tree cannot build
# the Windows programs: it installs them from the Windows build folder named
# by BRONDALE_WINDOWS_BUILD (scripts/build.sh passes it).
include(GNUInstallDirs)
install(TARGETS brondale-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(BRONDALE_SHARE ${CMAKE_INSTALL_DATADIR}/brondale)

if(BRONDALE_WINDOWS)
  install(TARGETS brondale brondale-uninst placeholder RUNTIME DESTINATION ${BRONDALE_SHARE})
else()
  if(BRONDALE_WINDOWS_BUILD)
    install(FILES ${BRONDALE_WINDOWS_BUILD}/brondale.exe ${BRONDALE_WINDOWS_BUILD}/UnInst.exe
      ${BRONDALE_WINDOWS_BUILD}/placeholder.exe DESTINATION ${BRONDALE_SHARE})
    # cmake --install into an empty prefix and the Debian package, each used
    # from another folder with no --stub.
    add_test(NAME install.PackWithoutStub
      COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/install-test.sh ${CMAKE_BINARY_DIR} ${BRONDALE_WINDOWS_BUILD})
    set_tests_properties(install.PackWithoutStub PROPERTIES TIMEOUT 600)
  endif()

  # A Debian package: cpack -G DEB in the native build folder. For a package
  # to hand out, configure with -DBRONDALE_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME brondale-pack)
  set(CPACK_PACKAGE_VENDOR "Varkel")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs product folders into Brondale installers for Windows")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brondale developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  include(CPack)
endif()
