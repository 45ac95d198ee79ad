# What an installation holds beside the two executables: the tools' links,
# the desktop entry, icons, AppStream metadata, man pages, bash completion.
# The package is built from the same rules (Package.cmake).

set(VELTRANE_PACKAGE_TOOLS_DIR "/usr/bin" CACHE PATH
    "Folder of the ffprobe and ffmpeg that a package's tool links point at")

# The tools are looked up as resources in the share folder. An install links
# them to the ffprobe and ffmpeg found at configure time; a package, built on
# one machine for others, to the distribution's (VELTRANE_TOOLS_DIR, which
# CPack sets).
install(CODE "
  set(veltrane_resources \"${CMAKE_INSTALL_DATADIR}/veltrane/resources\")
  set(veltrane_ffprobe \"${VELTRANE_FFPROBE}\")
  set(veltrane_ffmpeg \"${VELTRANE_FFMPEG}\")
")
install(CODE [[
  if(VELTRANE_TOOLS_DIR)
    set(veltrane_ffprobe "${VELTRANE_TOOLS_DIR}/ffprobe")
    set(veltrane_ffmpeg "${VELTRANE_TOOLS_DIR}/ffmpeg")
  endif()
  set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${veltrane_resources}")
  file(MAKE_DIRECTORY "${dir}")
  foreach(link sniffer:${veltrane_ffprobe} creator:${veltrane_ffmpeg})
    string(REPLACE ":" ";" link "${link}")
    list(GET link 0 name)
    list(GET link 1 target)
    message(STATUS "Installing: ${dir}/${name} -> ${target}")
    file(CREATE_LINK "${target}" "${dir}/${name}" SYMBOLIC)
  endforeach()
]])

set(generated ${CMAKE_BINARY_DIR}/desktop)
configure_file(resources/veltrane.desktop.in ${generated}/${VELTRANE_APP_ID}.desktop @ONLY)
configure_file(resources/veltrane.metainfo.xml.in ${generated}/${VELTRANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${generated}/${VELTRANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${VELTRANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES resources/icons/veltrane.svg DESTINATION ${icons}/scalable/apps RENAME ${VELTRANE_APP_ID}.svg)
foreach(size 16 32 48 64 128)
  install(FILES resources/icons/veltrane-${size}.png DESTINATION ${icons}/${size}x${size}/apps RENAME ${VELTRANE_APP_ID}.png)
endforeach()
install(FILES resources/veltrane.png DESTINATION ${icons}/256x256/apps RENAME ${VELTRANE_APP_ID}.png)

# Man pages are installed compressed, as Debian's man-db expects them.
foreach(page veltrane.1 veltrane-cli.1)
  configure_file(resources/man/${page} ${generated}/${page} @ONLY)
  file(ARCHIVE_CREATE OUTPUT ${generated}/${page}.gz PATHS ${generated}/${page} FORMAT raw COMPRESSION GZip)
  install(FILES ${generated}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES resources/completion/veltrane-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
