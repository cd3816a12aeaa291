# `make package`: a .deb built by CPack. Its dependencies are the Debian packages of the
# libraries the program links (found by dpkg-shlibdeps) and of what it loads at run time, which
# no library check finds: GStreamer's plugin sets, Qt's Wayland platform and its SVG icon engine.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zentavo developers")
set(CPACK_PACKAGE_CONTACT "The Zentavo developers <support@zentavo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "internet TV and radio player")
set(CPACK_PACKAGE_DESCRIPTION
    "Zentavo plays television and radio streams published on the internet: pick a channel list, \
double-click a channel and it plays inside the window, through libmpv or GStreamer. Favourites, search, \
a category filter, skins and an online check for a newer channel list.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.zentavo.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav, libqt6svg6, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-alsa")
set(CPACK_STRIP_FILES ON)
include(CPack)
