# A Windows installation and its packages, made by CPack in a cross build
# (cpack -G NSIS, with Debian's makensis; cpack -G ZIP). An installation is
# one folder: tesmar.exe and tesmar-build.exe, the DLLs and Qt plugins they
# import, the master copies of the default setting files and the manual; the
# optional component "demo" adds the demo project (demo\) and the stand-in
# Delphi tools (tools\, off the PATH: a real Delphi's tools come first).
# Included after the programs' own install rules.

install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual/ DESTINATION manual COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/demo/ DESTINATION demo COMPONENT demo)
install(TARGETS DCC32 BRCC32 DemoStep RUNTIME DESTINATION tools COMPONENT demo)
if(TESMAR_GUI AND COMMAND tesmar_install_qt_runtime)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  tesmar_install_qt_runtime(tesmar tesmar-build)
endif()

set(CPACK_PACKAGE_NAME Tesmar)
set(CPACK_PACKAGE_VENDOR "${TESMAR_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${TESMAR_COMMENTS}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tesmar)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tesmar)
set(CPACK_PACKAGE_FILE_NAME "tesmar-${PROJECT_VERSION}-win64")
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime demo)

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "Delphi Tesmar Tool")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "The window, the command-line build, their DLLs and the manual.")
set(CPACK_COMPONENT_RUNTIME_REQUIRED ON)
set(CPACK_COMPONENT_DEMO_DISPLAY_NAME "Demo project and stand-in tools")
set(CPACK_COMPONENT_DEMO_DESCRIPTION
    "A small Delphi project, and programs that stand in for DCC32.exe and BRCC32.exe to try Tesmar without Delphi.")

# A 64-bit installer, into the 64-bit program folder. makensis learns the
# target from a script command before the script; CPack passes no argument
# with a blank in it, so a wrapper gives that one.
set(tesmar_makensis "${CMAKE_BINARY_DIR}/makensis-amd64")
file(CONFIGURE OUTPUT "${tesmar_makensis}" CONTENT "#!/bin/sh\nexec makensis \"-XTarget amd64-unicode\" \"$@\"\n")
file(CHMOD "${tesmar_makensis}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                            WORLD_EXECUTE)
set(CPACK_NSIS_EXECUTABLE "${tesmar_makensis}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "${TESMAR_PRODUCT_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${TESMAR_PRODUCT_NAME}")
set(CPACK_NSIS_CONTACT "${CPACK_PACKAGE_VENDOR}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME tesmar.exe)
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/src/app/icons/tesmar.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/src/app/icons/tesmar.ico")
set(CPACK_NSIS_MENU_LINKS "manual/tesmar.html" "Tesmar manual")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
if(TESMAR_GUI)
  set(CPACK_PACKAGE_EXECUTABLES tesmar "${TESMAR_PRODUCT_NAME}")
endif()
include(CPack)
