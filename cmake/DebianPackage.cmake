# `make deb`: one Debian package (cpack -G DEB) with everything
# `cmake --install` installs: the player, its desktop files, the tools, the
# library with its development files, and whatever else has install rules.
# The caches of the MIME database, the desktop entries and the icon theme
# are updated by the triggers of the packages that own them; the only
# maintainer scripts are CPack's ldconfig calls for libvoicefile.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VOICE_PLAYER_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Voice player maintainers <maintainers@voiceplayer.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Voice file player with a built-in spoken message, and tools")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Plays voice files (speech coded in 10 ms frames at 8000 Hz) and the message it\n"
       "carries, makes self-playing copies of itself with another message, and brings\n"
       "the command-line tools vocinfo, vocdec and vocenc and the library libvoicefile.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped, as Debian ships programs: a message packed from the installed
# player is a few hundred kilobytes rather than megabytes of debug data.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# vocinfo's libvoicefile is in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
include(CPack)
