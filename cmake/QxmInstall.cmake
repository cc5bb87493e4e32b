# Installing the kit under a prefix and packaging it (cpack -G DEB).
#
#   P/bin/                 the programs (rpath $ORIGIN/../lib)
#   P/lib/                 the libraries and the player control module libqxmovie.so, which a
#                          first start of qxmedit or qxmplay registers from <bin>/../lib
#   P/share/qxm/           the manual (Help Topics reads <bin>/../share/qxm/manual.html) and the
#                          sample hypervideo in sample/
#   P/share/applications/  desktop entries; share/mime/packages/ the Movie Object File type;
#   P/share/icons/hicolor/ the icons; share/man/man1/ the manual pages
set(QXM_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

set(qxm_programs qxmedit qxmplay qxmregsvr qxmhost qxmanchor qxm-make-movie qxm-frames)
set(qxm_libraries qxmplatform qxmplatformqt qxmimlib qxmtrack qxmovie)
install(TARGETS ${qxm_programs} RUNTIME DESTINATION bin)
install(TARGETS ${qxm_libraries} LIBRARY DESTINATION lib)

install(FILES ${CMAKE_BINARY_DIR}/share/qxm/manual.html DESTINATION share/qxm)
install(FILES ${CMAKE_BINARY_DIR}/share/sample/sample.avi ${CMAKE_BINARY_DIR}/share/sample/sample.obj
        DESTINATION share/qxm/sample)

install(FILES ${QXM_PACKAGING_DIR}/qxmedit.desktop ${QXM_PACKAGING_DIR}/qxmplay.desktop
        DESTINATION share/applications)
install(FILES ${QXM_PACKAGING_DIR}/movie-marquill.xml DESTINATION share/mime/packages)
install(FILES ${QXM_PACKAGING_DIR}/icons/qxmedit.svg ${QXM_PACKAGING_DIR}/icons/qxmplay.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${QXM_PACKAGING_DIR}/icons/application-x-qxm-movie-object.svg
        DESTINATION share/icons/hicolor/scalable/mimetypes)

# Manual pages, compressed at build time as Debian keeps them.
set(qxm_man_pages)
foreach(page qxmedit qxmplay qxmregsvr qxmhost)
  set(source ${QXM_PACKAGING_DIR}/man/${page}.1)
  set(compressed ${CMAKE_BINARY_DIR}/share/man/man1/${page}.1.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/man/man1
    COMMAND sh -c "gzip -9nc '${source}' > '${compressed}'"
    DEPENDS ${source}
    VERBATIM)
  list(APPEND qxm_man_pages ${compressed})
endforeach()
add_custom_target(qxm-man-pages ALL DEPENDS ${qxm_man_pages})
install(FILES ${qxm_man_pages} DESTINATION share/man/man1)

# The Debian package. Library dependencies come from dpkg-shlibdeps; what is loaded at run time
# (Qt's platform plugins) and what handles the desktop files is named here.
set(CPACK_PACKAGE_NAME "movie-marquill")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Movie Marquill")
set(CPACK_PACKAGE_CONTACT "Movie Marquill developers <movie-marquill@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "hypervideo kit: anchor editor, movie player and player control")
set(CPACK_PACKAGE_DESCRIPTION
    "Movies in which clickable rectangles (anchors) follow objects through a range of frames.\n\
The editor qxmedit draws anchors on key frames and fills the frames between by interpolation\n\
or automatic tracking; the player qxmplay and the player control module play the movie and\n\
report the anchor a viewer clicks.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_STRIP_FILES ON)
include(CPack)
