# The programs' version strings. Their one source is the project's version in
# the top-level project() call; everything else here is fixed text. From these
# variables come the header that the core reads (every system) and, on
# Windows, the version resource of each executable.

set(TESMAR_PRODUCT_NAME "Delphi Tesmar Tool")
set(TESMAR_COMPANY_NAME "The Tesmar developers")
set(TESMAR_LEGAL_COPYRIGHT "Copyright (C) The Tesmar developers")
set(TESMAR_LEGAL_TRADEMARKS "")
set(TESMAR_COMMENTS "A build manager for Delphi projects")
set(TESMAR_DESCRIPTION_WINDOW "Delphi Tesmar Tool")
set(TESMAR_DESCRIPTION_COMMAND_LINE "Delphi Tesmar Tool command-line build")

if(PROJECT_VERSION_TWEAK STREQUAL "")
  set(TESMAR_VERSION_TWEAK 0)
else()
  set(TESMAR_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
set(TESMAR_VERSION_PARTS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${TESMAR_VERSION_TWEAK}")
set(TESMAR_FILE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${TESMAR_VERSION_TWEAK}")
set(TESMAR_PRODUCT_VERSION "${PROJECT_VERSION}")

set(TESMAR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/TesmarVersionInfo.h.in ${TESMAR_GENERATED_DIR}/TesmarVersionInfo.h @ONLY)

# Gives a program its version resource on Windows: which is "WINDOW" or
# "COMMAND_LINE", the program whose strings it carries. Elsewhere an executable
# carries no such resource and the core answers from the header.
function(tesmar_version_resource target which)
  if(NOT WIN32)
    return()
  endif()
  set(TESMAR_INTERNAL_NAME "${target}")
  set(TESMAR_ORIGINAL_FILENAME "${target}${CMAKE_EXECUTABLE_SUFFIX}")
  set(TESMAR_FILE_DESCRIPTION "${TESMAR_DESCRIPTION_${which}}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/TesmarVersion.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()
