# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh) makes
# kestrun_VERSION_ARCH.deb from what `cmake --install` puts under the prefix.
set(KESTRUN_MAINTAINER "Kestrun maintainers <maintainers@users.noreply.c-seed-dc4f2365.example>")
set(KESTRUN_DOC_DIR "share/doc/kestrun")

install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION "${KESTRUN_DOC_DIR}")
configure_file("${PROJECT_SOURCE_DIR}/packaging/changelog" "${CMAKE_BINARY_DIR}/packaging/changelog" @ONLY)
find_program(KESTRUN_GZIP gzip REQUIRED)
execute_process(
  COMMAND "${KESTRUN_GZIP}" -9nf "${CMAKE_BINARY_DIR}/packaging/changelog"
  COMMAND_ERROR_IS_FATAL ANY)
install(FILES "${CMAKE_BINARY_DIR}/packaging/changelog.gz" DESTINATION "${KESTRUN_DOC_DIR}")

# The menu entry, its icon, the manual pages and the completion of kestrun-cli.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/kestrun.desktop" DESTINATION share/applications)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/kestrun.svg"
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/kestrun-cli.bash"
        DESTINATION share/bash-completion/completions RENAME kestrun-cli)
foreach(page kestrun kestrun-cli)
  configure_file("${PROJECT_SOURCE_DIR}/packaging/${page}.1" "${CMAKE_BINARY_DIR}/packaging/${page}.1" @ONLY)
  execute_process(
    COMMAND "${KESTRUN_GZIP}" -9nf "${CMAKE_BINARY_DIR}/packaging/${page}.1"
    COMMAND_ERROR_IS_FATAL ANY)
  install(FILES "${CMAKE_BINARY_DIR}/packaging/${page}.1.gz" DESTINATION share/man/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrun)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KESTRUN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes video files playable on a PlayStation 3 or an Xbox 360")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrun converts MKV, WMV and AVI films into files a games console plays:\n"
    "MP4, an AVCHD folder, an M2TS stream or a VOB, re-encoding to MPEG-2, H.264\n"
    "or Xvid where the console needs it. It has a window (kestrun) and a command\n"
    "line (kestrun-cli) and drives FFmpeg, MKVToolNix and MEncoder.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRUN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Debian programs the tool folders link to or run, and the subtitle font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ffmpeg, mkvtoolnix, mencoder, faad, soundstretch, mpgtx, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
