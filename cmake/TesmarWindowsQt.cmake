# The window in a Windows cross build. Debian ships no Qt for MinGW-w64;
# scripts/build-qt-mingw.sh builds one from Debian's own source into a cache
# prefix, which TESMAR_QT_MINGW names (its default: the environment variable
# of the same name). The window is built by default when that prefix holds
# Qt; -DTESMAR_GUI=ON without it is an error that says how to get it.
#
# Included before the options; tesmar_gui_default is the default of TESMAR_GUI.

set(TESMAR_QT_MINGW "$ENV{TESMAR_QT_MINGW}" CACHE PATH
    "Prefix of Qt for MinGW-w64 (made by scripts/build-qt-mingw.sh), for the window of a Windows build")
set(tesmar_qt_mingw_config "${TESMAR_QT_MINGW}/lib/cmake/Qt6/Qt6Config.cmake")
if(TESMAR_QT_MINGW AND EXISTS "${tesmar_qt_mingw_config}")
  set(tesmar_gui_default ON)
else()
  set(tesmar_gui_default OFF)
endif()

# Called after the options: makes that Qt the one find_package(Qt6) finds.
macro(tesmar_use_qt_mingw)
  if(NOT EXISTS "${tesmar_qt_mingw_config}")
    message(FATAL_ERROR "The window of a Windows build needs Qt for MinGW-w64, and TESMAR_QT_MINGW "
                        "(\"${TESMAR_QT_MINGW}\") holds none. Build it once with scripts/build-qt-mingw.sh and "
                        "configure with -DTESMAR_QT_MINGW=<the prefix it prints>, or with -DTESMAR_GUI=OFF.")
  endif()
  # The toolchain looks for the target's packages only below its root paths.
  list(APPEND CMAKE_FIND_ROOT_PATH "${TESMAR_QT_MINGW}")
  # A cross-built Qt runs the build machine's moc, rcc and uic, those of
  # qt6-base-dev-tools, of the same version.
  file(GLOB tesmar_host_qt_tools LIST_DIRECTORIES true /usr/lib/*/cmake/Qt6CoreTools)
  if(NOT tesmar_host_qt_tools)
    message(FATAL_ERROR "The window of a Windows build needs the build machine's Qt tools: install qt6-base-dev-tools")
  endif()
  list(GET tesmar_host_qt_tools 0 tesmar_host_qt_tools)
  get_filename_component(tesmar_host_qt_cmake_dir "${tesmar_host_qt_tools}" DIRECTORY)
  set(QT_HOST_PATH /usr CACHE PATH "The build machine's Qt, whose tools a cross build runs")
  set(QT_HOST_PATH_CMAKE_DIR "${tesmar_host_qt_cmake_dir}" CACHE PATH "CMake files of the build machine's Qt")
endmacro()

# The Qt plugins a Windows program of the window loads, as "folder/file.dll"
# below Qt's plugin directory, from the imported targets of the plugins named
# (QWindowsIntegrationPlugin, ...).
function(tesmar_qt_plugin_files out)
  set(files "")
  foreach(plugin IN LISTS ARGN)
    if(NOT TARGET Qt6::${plugin})
      message(FATAL_ERROR "Qt for MinGW-w64 in ${TESMAR_QT_MINGW} has no plugin ${plugin}")
    endif()
    get_target_property(type Qt6::${plugin} QT_PLUGIN_TYPE)
    get_target_property(location Qt6::${plugin} IMPORTED_LOCATION_RELEASE)
    if(NOT location)
      get_target_property(location Qt6::${plugin} IMPORTED_LOCATION)
    endif()
    get_filename_component(name "${location}" NAME)
    list(APPEND files "${type}/${name}")
  endforeach()
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

# The arguments of cmake/TesmarDeployRuntime.cmake but the destination, the
# executables and the plugins: where the DLLs are found, the objdump that
# reads imports. Its lists are separated by '|'.
function(tesmar_deploy_arguments out)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-libgcc-file-name OUTPUT_VARIABLE libgcc
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
  set(dirs "${TESMAR_QT_MINGW}/bin" "${gcc_dir}")
  foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
    list(APPEND dirs "${root}/bin" "${root}/lib")
  endforeach()
  list(REMOVE_DUPLICATES dirs)
  if(NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "No objdump of the MinGW-w64 binutils was found")
  endif()
  list(JOIN dirs "|" dirs)
  set(${out} "-DOBJDUMP=${CMAKE_OBJDUMP}" "-DSEARCH_DIRS=${dirs}"
             "-DPLUGIN_DIR=${TESMAR_QT_MINGW}/${QT6_INSTALL_PLUGINS}" PARENT_SCOPE)
endfunction()

# After each link of a program of the window, the DLLs and plugins it needs
# are put beside it, so that it runs from the build tree (under Wine, for the
# tests). The platform plugins: Windows', and the offscreen one for tests.
function(tesmar_deploy_qt_runtime target)
  tesmar_deploy_arguments(arguments)
  tesmar_qt_plugin_files(plugins QWindowsIntegrationPlugin QOffscreenIntegrationPlugin QWindowsVistaStylePlugin)
  list(JOIN plugins "|" plugins)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} ${arguments} "-DEXECUTABLES=$<TARGET_FILE:${target}>" "-DPLUGINS=${plugins}"
            "-DDESTINATION=$<TARGET_FILE_DIR:${target}>" "-DLOCK=${CMAKE_BINARY_DIR}/deploy-runtime.lock"
            -P ${PROJECT_SOURCE_DIR}/cmake/TesmarDeployRuntime.cmake
    COMMENT "Putting the Qt and MinGW-w64 DLLs that ${target} needs beside it"
    VERBATIM)
endfunction()

# The installation's DLLs and plugins, found from the installed programs'
# imports once they are installed (the install rule of this call comes after
# theirs). No offscreen plugin: an installed window has a screen.
function(tesmar_install_qt_runtime)
  tesmar_deploy_arguments(arguments)
  tesmar_qt_plugin_files(plugins QWindowsIntegrationPlugin QWindowsVistaStylePlugin)
  list(JOIN plugins "|" plugins)
  set(executables "")
  foreach(program IN LISTS ARGN)
    list(APPEND executables "\${dir}/${program}${CMAKE_EXECUTABLE_SUFFIX}")
  endforeach()
  list(JOIN executables "|" executables)
  list(JOIN arguments "\" \"" arguments)
  install(CODE "
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    execute_process(COMMAND \"${CMAKE_COMMAND}\" \"${arguments}\" \"-DEXECUTABLES=${executables}\"
                            \"-DPLUGINS=${plugins}\" \"-DDESTINATION=\${dir}\"
                            -P \"${PROJECT_SOURCE_DIR}/cmake/TesmarDeployRuntime.cmake\"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"The Qt and MinGW-w64 DLLs could not be installed\")
    endif()" COMPONENT runtime)
endfunction()
