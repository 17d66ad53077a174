# Runs the cross-built Windows programs under Wine: CTest and GoogleTest's
# discovery start every test program, and the build the programs it runs,
# through the wine-run script of the build directory, which uses a Wine
# prefix inside the build directory.
#
# TESMAR_WINE_PATH(<out> <path>) gives the name that a program under Wine sees
# for a file of the build machine (Wine's drive Z: is the root directory).

function(tesmar_wine_path out path)
  if(TESMAR_WINE)
    string(REPLACE "/" "\\" native "${path}")
    set(${out} "Z:${native}" PARENT_SCOPE)
  else()
    set(${out} "${path}" PARENT_SCOPE)
  endif()
endfunction()

if(NOT (CMAKE_CROSSCOMPILING AND WIN32))
  return()
endif()

# Debian keeps wine64 and wineserver in /usr/lib/wine; the wine package links
# them into /usr/bin. Without tests Wine is optional: it only writes the
# master copies of an installation.
find_program(TESMAR_WINE NAMES wine64 wine HINTS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(TESMAR_WINESERVER NAMES wineserver HINTS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT TESMAR_WINE OR NOT TESMAR_WINESERVER)
  if(TESMAR_TESTS)
    message(FATAL_ERROR "The Windows tests run under Wine: install wine64 (Debian package), "
                        "or configure with -DTESMAR_TESTS=OFF")
  endif()
  return()
endif()

set(TESMAR_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(TESMAR_WINE_LINGER 10)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# The prefix is made once, before any test program is run to list its tests.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/wineprefix.stamp
  COMMAND ${CMAKE_BINARY_DIR}/wine-run --make-prefix
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/wineprefix.stamp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/wine-run.in
  COMMENT "Making the Wine prefix for the Windows tests"
  VERBATIM)
add_custom_target(wine_prefix DEPENDS ${CMAKE_BINARY_DIR}/wineprefix.stamp)
