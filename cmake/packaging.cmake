# `make deb`: a Debian binary package through CPack, from a build
# configured with the /usr prefix.
set(CPACK_PACKAGE_NAME refloom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Refloom developers <refloom@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Motif manager for BibTeX bibliographies")
set(CPACK_PACKAGE_DESCRIPTION
  "Refloom keeps a bibliography in BibTeX format and shows it in one Motif\n"
  "window, one line per reference. It loads BibTeX files and exports of\n"
  "literature databases (Medline in the Ovid, SPIRS and PubMed formats,\n"
  "PubMed .nbib, RIS and Inspec), edits references in a form laid out for\n"
  "their entry type, searches and combines the hits, saves BibTeX and writes\n"
  "a LaTeX document citing the listed references.\n"
  "\n"
  "refloom-convert does the same loading and writing from the command line.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION tex)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries found by dpkg-shlibdeps (the Motif runtime libxm4 and libxt6,
# libxmu6, libx11-6, the C++ runtime), plus the scalable font that the
# application defaults name (it covers Latin, Greek, Cyrillic and CJK).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "texlive-latex-base, texlive-binaries")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
# The application defaults live in /etc: install through DESTDIR into the
# package tree and mark the file as a configuration file, so that a local
# change survives an upgrade.
set(CPACK_SET_DESTDIR ON)
if(REFLOOM_BUILD_UI AND IS_ABSOLUTE "${REFLOOM_APP_DEFAULTS_DIR}")
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${REFLOOM_APP_DEFAULTS_DIR}/Refloom\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()

include(CPack)
