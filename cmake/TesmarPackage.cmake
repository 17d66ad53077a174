# Debian packages made by CPack from the install rules (cpack -G DEB in the
# build directory): "tesmar" with the programs, their data and documentation,
# and "tesmar-demo" with the demo project and the stand-in Delphi tools. The
# dependencies are computed from the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tesmar)
set(CPACK_PACKAGE_VENDOR "${TESMAR_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "The Tesmar developers <tesmar@localhost>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime demo)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME tesmar)
set(CPACK_DEBIAN_DEMO_PACKAGE_NAME tesmar-demo)
set(CPACK_DEBIAN_DEMO_PACKAGE_DEPENDS "tesmar (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION devel)
# CPack puts the project's description before each text as its summary line.
string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "Keeps a catalogue of build projects and builds them with the Delphi\n"
    "command-line tools: compiler configuration, version information and\n"
    "resources for every source, logs of hints, warnings and errors. Comes\n"
    "with a window (tesmar) and a command-line build for build servers\n"
    "(tesmar-build) that writes JSON and JUnit reports.")
string(CONCAT CPACK_DEBIAN_DEMO_DESCRIPTION
    "The demo project and stand-in Delphi tools for Tesmar.\n"
    "A small Delphi project and programs that stand in for the Delphi\n"
    "command-line compiler and resource compiler, to try Tesmar without\n"
    "Delphi. The stand-ins are installed outside the PATH.")
include(CPack)
