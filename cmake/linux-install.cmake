# What `cmake --install` puts where, for zanto on Linux desktops: the one list of installed
# files, from which the Debian package and the RPM are made and which a packager of any other
# distribution takes as it is.
#
#   lib/zanto/zanto, quotes.txt                the program finds its sample quotes beside itself
#   bin/zanto                                  a link to it (the program reads /proc/self/exe)
#   share/applications/ID.desktop              the menu entry, with the tray menu's commands
#   etc/xdg/autostart/ID.desktop               every XDG desktop starts it at login
#   share/dbus-1/services/ID.service           the session bus starts it for the menu entry
#   share/icons/hicolor/*/apps/ID.png, .svg    its icon at every size
#   share/metainfo/ID.metainfo.xml             what software centres show of it
#   share/man/man1/zanto.1
include(GNUInstallDirs)

set(ZANTO_APP_ID org.example.zanto.Zanto)
set(ZANTO_INSTALL_PROGRAM_DIR lib/zanto CACHE STRING
    "Where the program and its sample quotes go, below the prefix")
set(res ${PROJECT_SOURCE_DIR}/res)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/install)

install(TARGETS zanto RUNTIME DESTINATION ${ZANTO_INSTALL_PROGRAM_DIR})
install(FILES ${res}/quotes.txt DESTINATION ${ZANTO_INSTALL_PROGRAM_DIR})
# The menu entry as it is; the autostart entry only starts the program (the actions and the
# D-Bus activation stay with the menu), and names the program in TryExec, so that a session
# skips it once the program is gone (a package's autostart entry may outlive the program).
set(menu ${res}/linux/${ZANTO_APP_ID}.desktop)
set(service ${res}/linux/${ZANTO_APP_ID}.service)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${menu} ${service}
             ${PROJECT_SOURCE_DIR}/packaging/debian/zanto.1)
file(READ ${menu} entry)
string(REGEX REPLACE "\n\\[Desktop Action .*$" "\n" entry "${entry}")
string(REGEX REPLACE "\n(DBusActivatable|Actions)=[^\n]*" "" entry "${entry}")
string(REPLACE "[Desktop Entry]\n" "[Desktop Entry]\nTryExec=zanto\n" entry "${entry}")
string(REGEX REPLACE "\n+$" "\n" entry "${entry}")
file(WRITE ${generated}/autostart/${ZANTO_APP_ID}.desktop "${entry}")
set(VERSION ${PROJECT_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/zanto.1 ${generated}/zanto.1 @ONLY)

install(FILES ${menu} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# What depends on the prefix is settled when installing, since `cmake --install --prefix`
# may name another than the build was configured with: the link, the bus service's path to
# the program, and the autostart entry's folder (/etc for the prefix /usr, as GNUInstallDirs
# has it).
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(root \"\$ENV{DESTDIR}\")
  set(program_dir \"\${prefix}/${ZANTO_INSTALL_PROGRAM_DIR}\")
  set(bin_dir \"\${prefix}/${CMAKE_INSTALL_BINDIR}\")
  file(RELATIVE_PATH link_target \"\${bin_dir}\" \"\${program_dir}/zanto\")
  file(MAKE_DIRECTORY \"\${root}\${bin_dir}\")
  file(CREATE_LINK \"\${link_target}\" \"\${root}\${bin_dir}/zanto\" SYMBOLIC)
  message(STATUS \"Installing: \${root}\${bin_dir}/zanto -> \${link_target}\")

  file(READ \"${service}\" bus_service)
  string(REGEX REPLACE \"\\nExec=[^\\n]*\" \"\\nExec=\${bin_dir}/zanto\" bus_service
         \"\${bus_service}\")
  set(services \"\${root}\${prefix}/${CMAKE_INSTALL_DATADIR}/dbus-1/services\")
  file(MAKE_DIRECTORY \"\${services}\")
  file(WRITE \"\${services}/${ZANTO_APP_ID}.service\" \"\${bus_service}\")
  message(STATUS \"Installing: \${services}/${ZANTO_APP_ID}.service\")

  if(prefix STREQUAL \"/usr\")
    set(sysconf /etc)
  else()
    set(sysconf \"\${prefix}/etc\")
  endif()
  file(COPY \"${generated}/autostart/${ZANTO_APP_ID}.desktop\"
       DESTINATION \"\${root}\${sysconf}/xdg/autostart\"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS \"Installing: \${root}\${sysconf}/xdg/autostart/${ZANTO_APP_ID}.desktop\")")
foreach(size 16 32 64)
  install(FILES ${res}/linux/zanto-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${ZANTO_APP_ID}.png)
endforeach()
foreach(size 128 256)
  install(FILES ${res}/icons/hicolor/${size}x${size}/apps/${ZANTO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${res}/icons/hicolor/scalable/apps/${ZANTO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${res}/linux/${ZANTO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/zanto.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
