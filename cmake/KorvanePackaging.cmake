# Installing and packaging: what a release sets (addresses, maintainer, date), the Debian
# package CPack builds, and a helper for the gzip-compressed files Debian expects.

set(KORVANE_APP_ID "org.korvane.CamSettingsTool" CACHE STRING
    "Application id: desktop entry, icon and AppStream metainfo")
set(KORVANE_HOMEPAGE_URL "https://korvane.example/cam-settings-tool" CACHE STRING
    "Home page named by the AppStream metainfo and the package")
set(KORVANE_SCREENSHOT_URL "https://korvane.example/cam-settings-tool/screenshot.png" CACHE STRING
    "Published copy of docs/screenshot.png that the AppStream metainfo refers to")
set(KORVANE_PACKAGE_MAINTAINER "Korvane Cam Settings Tool developers <maintainers@korvane.example>"
    CACHE STRING "Maintainer of the Debian package")
set(KORVANE_RELEASE_DATE "2026-12-10" CACHE STRING "Date of this release (YYYY-MM-DD)")
set(KORVANE_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 00:00:00 +0000" CACHE STRING
    "The same date as the Debian changelog writes it")

# korvane_install_gzipped(TARGET name SOURCE file DESTINATION dir [RENAME name]): compresses the
# file at build time, reproducibly (no name or time stamp inside), and installs the result.
function(korvane_install_gzipped)
  cmake_parse_arguments(ARG "" "TARGET;SOURCE;DESTINATION;RENAME" "" ${ARGN})
  get_filename_component(name ${ARG_SOURCE} NAME)
  if(ARG_RENAME)
    set(name ${ARG_RENAME})
  endif()
  set(output ${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/gzipped
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${ARG_SOURCE} ${output}
    DEPENDS ${ARG_SOURCE}
    VERBATIM)
  add_custom_target(${ARG_TARGET} ALL DEPENDS ${output})
  install(FILES ${output} DESTINATION ${ARG_DESTINATION})
endfunction()

set(CPACK_PACKAGE_NAME "korvane-cam-settings-tool")
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "adjust the image and camera controls of web cameras live")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop tool that lists the web cameras of the machine and adjusts their
image and camera controls (exposure, gain, white balance, focus, zoom,
brightness and more, and the power-line frequency) while another program
uses the camera. It saves a camera's settings to a file and loads them back,
and resets a camera to its factory defaults.
.
The command-line tool korvane-cam reads and changes the same controls and
settings files from scripts and start-up files.")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KORVANE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KORVANE_HOMEPAGE_URL})
# The libraries come from what the binaries link; the font the window is laid out with does not.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-carlito")
# Without the toolkit's Wayland plugin the window still opens on a Wayland desktop, through
# XWayland; with it, it runs there natively.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
