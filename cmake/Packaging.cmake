# The Debian package: everything `cmake --install` puts under /usr, the
# libraries it needs found by dpkg-shlibdeps, and what no library names:
# fonts, without which Qt draws every letter as a box, and the trusted
# certificates that https checks servers against.
#   cpack -G DEB   (scripts/package.sh builds and runs it)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkorcrypto)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${VK_VERSION_REVISION}")
set(CPACK_PACKAGE_VENDOR "The VelkorCrypto developers")
set(CPACK_PACKAGE_CONTACT "The VelkorCrypto developers <support@velkor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file and message encryption utility, with the rssvane RSS component")
# The long description; CPack indents it and marks its blank line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "VelkorCrypto encrypts files and messages with a password (Rijndael or"
  "Twofish, SHA-2 or HAVAL), makes RSA key pairs, keeps a password vault and a"
  "history of encrypted files. vkcrypt does the same on the command line."
  ""
  "rssvane is the RSS component it stores its files with: feed model, XML"
  "reader, RSS reader and writer, property paths and an HTTP client. The"
  "package carries librssvane.so, its headers, rssvane.pc and a CMake package"
  "for other programs, and the rssvane command-line tool.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_STRIP_FILES ON)
include(CPack)
