# Puts beside Windows executables the DLLs they need that Windows does not
# bring: found from the executables' imports (objdump -p), then from the
# imports of each DLL found, in the given directories (Qt's bin directory, the
# MinGW-w64 run-time). A name found in none of them is the system's own. The
# plugins are copied into their folders below the destination, and their
# imports are followed the same way.
#
#   cmake -DOBJDUMP=<objdump> -DDESTINATION=<dir> -DEXECUTABLES=<file|...>
#         -DSEARCH_DIRS=<dir|...> -DPLUGINS=<folder/file.dll|...>
#         "-DPLUGIN_DIR=<dir>" [-DMANIFEST=<file>] [-DLOCK=<file>] -P TesmarDeployRuntime.cmake
#
# Lists are separated by '|', so that each passes as one argument through any
# command line. PLUGINS name each plugin by its folder and file below PLUGIN_DIR
# ("platforms/qwindows.dll"). MANIFEST, when given, receives the files put in
# place, one path relative to DESTINATION a line. Files are copied only when
# they differ, so a second run changes nothing. Runs that may overlap (the
# links of several programs into one directory) name the same LOCK file.

cmake_minimum_required(VERSION 3.25)
foreach(var OBJDUMP DESTINATION)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "TesmarDeployRuntime: ${var} is not set")
  endif()
endforeach()

foreach(var EXECUTABLES SEARCH_DIRS PLUGINS)
  string(REPLACE "|" ";" ${var} "${${var}}")
endforeach()

# The DLLs a PE file imports, as it names them.
function(tesmar_pe_imports file out)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "TesmarDeployRuntime: cannot read the imports of ${file}: ${error}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND names "${name}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Where a DLL of that name lies among SEARCH_DIRS (Windows ignores the letter
# case of the name), or "" for a DLL of the system.
function(tesmar_find_dll name out)
  string(TOLOWER "${name}" wanted)
  foreach(dir IN LISTS SEARCH_DIRS)
    file(GLOB candidates LIST_DIRECTORIES false "${dir}/*.dll" "${dir}/*.DLL")
    foreach(candidate IN LISTS candidates)
      get_filename_component(candidate_name "${candidate}" NAME)
      string(TOLOWER "${candidate_name}" candidate_name)
      if(candidate_name STREQUAL wanted)
        set(${out} "${candidate}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY "${DESTINATION}")
if(DEFINED LOCK AND NOT LOCK STREQUAL "")
  file(LOCK "${LOCK}" GUARD PROCESS TIMEOUT 600)
endif()

set(placed "")
set(pending "${EXECUTABLES}")
foreach(plugin IN LISTS PLUGINS)
  get_filename_component(folder "${plugin}" DIRECTORY)
  if(NOT EXISTS "${PLUGIN_DIR}/${plugin}")
    message(FATAL_ERROR "TesmarDeployRuntime: no plugin ${PLUGIN_DIR}/${plugin}")
  endif()
  file(MAKE_DIRECTORY "${DESTINATION}/${folder}")
  file(COPY_FILE "${PLUGIN_DIR}/${plugin}" "${DESTINATION}/${plugin}" ONLY_IF_DIFFERENT)
  list(APPEND placed "${plugin}")
  list(APPEND pending "${DESTINATION}/${plugin}")
endforeach()

set(seen "")
while(pending)
  list(POP_FRONT pending file)
  tesmar_pe_imports("${file}" imports)
  foreach(name IN LISTS imports)
    string(TOLOWER "${name}" key)
    if(key IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${key}")
    tesmar_find_dll("${name}" found)
    if(found)
      get_filename_component(found_name "${found}" NAME)
      file(COPY_FILE "${found}" "${DESTINATION}/${found_name}" ONLY_IF_DIFFERENT)
      list(APPEND placed "${found_name}")
      list(APPEND pending "${found}")
    endif()
  endforeach()
endwhile()

if(DEFINED MANIFEST AND NOT MANIFEST STREQUAL "")
  list(SORT placed)
  list(JOIN placed "\n" text)
  file(WRITE "${MANIFEST}" "${text}\n")
endif()
