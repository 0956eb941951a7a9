# What `cmake --install` puts in place and what `cpack` makes of it:
#   Windows build                ostrel-<version>-windows-x86_64.zip: ostrel.exe, an
#                                example ostrel.cfg and README.txt
#   Linux, -DOSTREL_PORTABLE=ON  the folder ostrel-<version>-linux-x86_64 (.tar.gz): ostrel,
#                                the libraries a desktop lacks in lib/, Qt's plug-ins,
#                                qt.conf, ostrel.cfg, README.txt; runs from anywhere
#   Linux otherwise              bin/ostrel, its desktop entry and icon (.deb on Debian's
#                                libraries)
# The player keeps its ostrel.cfg beside itself, so every layout puts the
# executable where a content maker expects the file.
option(OSTREL_PORTABLE "Install the Linux player as a folder that carries its libraries" OFF)
set(OSTREL_BUNDLED_FFMPEG_DIR "" CACHE PATH
  "Folder of FFmpeg libraries to carry in the portable folder instead of the system's")

set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR ostrel)
set(CPACK_PACKAGE_CONTACT "ostrel developers <ostrel@ostrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small single-window media player to ship beside clips")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(OSTREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  install(TARGETS ostrel RUNTIME DESTINATION .)
  install(FILES ${OSTREL_PACKAGING_DIR}/ostrel.cfg DESTINATION .)
  install(FILES ${OSTREL_PACKAGING_DIR}/README-windows.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ostrel-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(OSTREL_QT AND OSTREL_PORTABLE)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  # Qt's plug-ins: the X11 platform (Wayland desktops run it through
  # XWayland), and typing in the dialogs with compose keys and input methods.
  set(OSTREL_QT_PLUGINS platforms/libqxcb.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so)
  set(OSTREL_QT_PLUGIN_FILES "")
  foreach(plugin ${OSTREL_QT_PLUGINS})
    set(file ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/${plugin})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "no Qt plug-in at ${file}")
    endif()
    get_filename_component(folder ${plugin} DIRECTORY)
    install(FILES ${file} DESTINATION plugins/${folder})
    list(APPEND OSTREL_QT_PLUGIN_FILES ${file})
  endforeach()
  # Every library the player loads is looked for in lib/ beside it first. A
  # DT_RPATH (not DT_RUNPATH) is also searched for the libraries those
  # libraries need and for the ones dlopen() loads (FFmpeg's, Qt's plug-in).
  set_target_properties(ostrel PROPERTIES INSTALL_RPATH "$ORIGIN/lib" BUILD_WITH_INSTALL_RPATH ON)
  target_link_options(ostrel PRIVATE -Wl,--disable-new-dtags)
  install(TARGETS ostrel RUNTIME DESTINATION .)
  install(FILES ${OSTREL_PACKAGING_DIR}/qt.conf ${OSTREL_PACKAGING_DIR}/ostrel.cfg DESTINATION .)
  install(FILES ${OSTREL_PACKAGING_DIR}/README-linux.txt DESTINATION . RENAME README.txt)

  # FFmpeg's libraries are not linked but loaded by name (libavformat.so.N):
  # the names the development files of this build give, from the system or
  # from a build of FFmpeg's own.
  set(OSTREL_FFMPEG_FILES "")
  foreach(library avformat avcodec swscale swresample avutil)
    find_library(found_${library} ${library})
    file(REAL_PATH ${found_${library}} found)
    string(REGEX REPLACE "^.*/(lib[a-z]+\\.so\\.[0-9]+)\\..*$" "\\1" soname ${found})
    if(OSTREL_BUNDLED_FFMPEG_DIR)
      if(NOT EXISTS ${OSTREL_BUNDLED_FFMPEG_DIR}/${soname})
        message(FATAL_ERROR "no ${soname} in ${OSTREL_BUNDLED_FFMPEG_DIR}")
      endif()
      file(REAL_PATH ${OSTREL_BUNDLED_FFMPEG_DIR}/${soname} found)
    endif()
    list(APPEND OSTREL_FFMPEG_FILES ${found})
    install(FILES ${found} DESTINATION lib RENAME ${soname})
  endforeach()

  # What a desktop Linux has by itself and so is not carried: the C and C++
  # runtimes, the graphics drivers and the GL loaders that go with them (not
  # libOpenGL, which many desktops lack), the X and Wayland client libraries
  # (libxcb's protocol extensions and xcb-util are carried: not every desktop
  # has them), fonts and their configuration, GLib, D-Bus, and systemd's and
  # the compression libraries every distribution is built on. Carrying
  # fontconfig or a driver would break on a desktop whose files are newer.
  set(OSTREL_SYSTEM_LIBRARIES
    "^ld-linux" "^libc\\.so" "^libm\\.so" "^libdl\\.so" "^libpthread\\.so" "^librt\\.so"
    "^libresolv\\.so" "^libutil\\.so" "^libstdc\\+\\+\\.so" "^libgcc_s\\.so"
    "^libGL" "^libEGL\\.so" "^libgbm\\.so" "^libdrm\\.so"
    "^libX11\\.so" "^libX11-xcb\\.so" "^libXau\\.so" "^libXdmcp\\.so" "^libXext\\.so"
    "^libXrender\\.so" "^libXfixes\\.so" "^libxcb\\.so" "^libwayland-"
    "^libfontconfig\\.so" "^libfreetype\\.so" "^libexpat\\.so" "^libpng16\\.so"
    "^libglib-2\\.0\\.so" "^libgobject-2\\.0\\.so" "^libgio-2\\.0\\.so" "^libgmodule-2\\.0\\.so"
    "^libgthread-2\\.0\\.so" "^libffi\\.so" "^libpcre2-8\\.so" "^libmount\\.so"
    "^libblkid\\.so" "^libselinux\\.so" "^libdbus-1\\.so" "^libsystemd\\.so" "^libudev\\.so"
    "^libcap\\.so" "^libgcrypt\\.so" "^libgpg-error\\.so" "^libz\\.so" "^liblzma\\.so"
    "^libzstd\\.so" "^liblz4\\.so" "^libbz2\\.so")
  install(CODE "
    set(system_libraries [[${OSTREL_SYSTEM_LIBRARIES}]])
    set(ffmpeg_files [[${OSTREL_FFMPEG_FILES}]])
    set(player [[$<TARGET_FILE:ostrel>]])
    set(qt_plugins [[${OSTREL_QT_PLUGIN_FILES}]])")
  install(CODE [[
    file(GET_RUNTIME_DEPENDENCIES
      EXECUTABLES ${player}
      LIBRARIES ${ffmpeg_files}
      MODULES ${qt_plugins}
      PRE_EXCLUDE_REGEXES ${system_libraries}
        "^lib(avformat|avcodec|swscale|swresample|avutil)\\.so"
      RESOLVED_DEPENDENCIES_VAR carried
      UNRESOLVED_DEPENDENCIES_VAR missing)
    if(missing)
      message(FATAL_ERROR "libraries not found: ${missing}")
    endif()
    # Each under the name the loader asks for, as a plain file: a stick's
    # FAT file system holds no symbolic links.
    set(lib "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib")
    foreach(library ${carried})
      get_filename_component(name ${library} NAME)
      file(REAL_PATH ${library} real)
      file(INSTALL ${real} DESTINATION ${lib} RENAME ${name})
    endforeach()
    # A library that names folders of its own (libpulse names PulseAudio's)
    # looks beside itself instead: those folders are not there on the stick.
    file(GLOB installed ${lib}/*.so*)
    foreach(library ${installed})
      unset(runpath)
      unset(rpath)
      file(READ_ELF ${library} RUNPATH runpath RPATH rpath)
      if(runpath OR rpath)
        file(RPATH_SET FILE ${library} NEW_RPATH [=[$ORIGIN]=])
      endif()
    endforeach()]])
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME ostrel-${PROJECT_VERSION}-linux-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(OSTREL_QT)
  install(TARGETS ostrel RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/ostrel.desktop DESTINATION share/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/ostrel.png
    DESTINATION share/icons/hicolor/128x128/apps)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # FFmpeg's libraries are loaded at run time, so dpkg-shlibdeps cannot see
  # them: the packages of the majors the headers name.
  set(ffmpeg_depends "")
  foreach(library avformat avcodec swscale swresample avutil)
    find_library(found_${library} ${library})
    file(REAL_PATH ${found_${library}} found)
    string(REGEX REPLACE "^.*\\.so\\.([0-9]+)\\..*$" "\\1" major ${found})
    list(APPEND ffmpeg_depends lib${library}${major})
  endforeach()
  list(JOIN ffmpeg_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()

include(CPack)
