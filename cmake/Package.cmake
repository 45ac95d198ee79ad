# A Debian package of the installation: cpack -G DEB in the build folder (or
# the package target) writes veltrane_<version>_<arch>.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR Veltrane)
set(CPACK_PACKAGE_CONTACT "Veltrane <${VELTRANE_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make video files smaller")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Veltrane re-encodes videos with FFmpeg into .mp4 files of one target"
    "size, a percentage of the smallest file, optionally at a lower"
    "resolution. It has a desktop window and a command-line front end,"
    "veltrane-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The libraries the executables link (Qt and the C++ runtime) are read off
# the binaries by dpkg-shlibdeps; the tools are run, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
# The file manager's "show" falls back to xdg-open. Qt's own translations
# give the standard buttons and panels the user's language; Veltrane's are
# built in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_CUSTOM_INSTALL_VARIABLES "VELTRANE_TOOLS_DIR=${VELTRANE_PACKAGE_TOOLS_DIR}")
include(CPack)
