# The product's facts that the programs, the Windows setup and the Debian
# packages all show: the maker's host and what follows from it, the copyright
# year and the release date of this version (the version itself is the one of
# project()). Set here once; everything else reads these variables, or the
# files generated from them.

set(TEXTQUIRL_HOST "example.org" CACHE STRING
    "The maker's host: the web page, the mail address, the copyright holder, the publisher and the desktop id follow from it")
set(TEXTQUIRL_COPYRIGHT_YEAR 2026)
set(TEXTQUIRL_RELEASE_DATE 2026-12-08)
# What Textquirl does, in one line: the German AppStream summary and menu
# comment, the Windows shortcut's comment, the web page's sentence under its
# heading.
set(TEXTQUIRL_SUMMARY "Verwurschtelt Text für die Zwischenablage")
# The same line in English: the AppStream summary and menu comment in the
# default language and, with a small first letter as Debian writes it, the
# packages' synopsis.
set(TEXTQUIRL_SUMMARY_EN "Scrambles the letters of a text for the clipboard")

# The licence's name, from the first line of LICENSE ("MIT License"), for the
# programs' --version.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../LICENSE licence_title LIMIT_COUNT 1 ENCODING UTF-8)
if(NOT licence_title MATCHES "^(.+) License$")
  message(FATAL_ERROR "LICENSE should start with the licence's name, such as \"MIT License\", not \"${licence_title}\"")
endif()
set(TEXTQUIRL_LICENCE "${CMAKE_MATCH_1}")

# The host goes into C++ and resource strings, XML, desktop entries and the
# setup script, so it is held to what a host name may be.
if(NOT TEXTQUIRL_HOST MATCHES "^[a-z0-9]([a-z0-9-]*[a-z0-9])?(\\.[a-z0-9]([a-z0-9-]*[a-z0-9])?)+$")
  message(FATAL_ERROR "TEXTQUIRL_HOST \"${TEXTQUIRL_HOST}\" is not a host name such as example.org")
endif()

set(TEXTQUIRL_COPYRIGHT "© ${TEXTQUIRL_COPYRIGHT_YEAR} ${TEXTQUIRL_HOST}")
set(TEXTQUIRL_WEB_ADDRESS "http://${TEXTQUIRL_HOST}/computer/programme/")
set(TEXTQUIRL_MAIL_ADDRESS "info@${TEXTQUIRL_HOST}")
# The window's picture that software centres show (the AppStream screenshot).
set(TEXTQUIRL_SCREENSHOT_ADDRESS "${TEXTQUIRL_WEB_ADDRESS}textquirl-fenster.png")
set(TEXTQUIRL_MAINTAINER "Textquirl <${TEXTQUIRL_MAIL_ADDRESS}>")
string(SUBSTRING "${TEXTQUIRL_SUMMARY_EN}" 0 1 summary_first)
string(SUBSTRING "${TEXTQUIRL_SUMMARY_EN}" 1 -1 summary_rest)
string(TOLOWER "${summary_first}" summary_first)
set(TEXTQUIRL_SYNOPSIS "${summary_first}${summary_rest}")

# The reverse-domain id of the desktop entry, the AppStream component, the
# icons and the window's class (example.org → org.example.Textquirl). Parts
# of an id may not hold '-' nor start with a digit.
string(REPLACE "." ";" host_labels "${TEXTQUIRL_HOST}")
list(REVERSE host_labels)
set(TEXTQUIRL_APP_ID "")
foreach(label IN LISTS host_labels)
  string(REPLACE "-" "_" label "${label}")
  if(label MATCHES "^[0-9]")
    set(label "_${label}")
  endif()
  string(APPEND TEXTQUIRL_APP_ID "${label}.")
endforeach()
string(APPEND TEXTQUIRL_APP_ID "Textquirl")

# The class of the Windows program's main window, by which its setup finds a
# running copy.
set(TEXTQUIRL_WIN32_WINDOW_CLASS "Textquirl.Form1")

# The same facts as C++ constants (version, host, addresses, id), for every
# program: the one generated header textquirl/product_config.hpp of the
# library textquirl::product. Needs TextquirlHeaders.cmake first.
configure_file(${CMAKE_CURRENT_LIST_DIR}/product_config.hpp.in
               ${TEXTQUIRL_INCLUDE_DIR}/textquirl/product_config.hpp @ONLY)
add_library(textquirl_product INTERFACE)
add_library(textquirl::product ALIAS textquirl_product)
target_include_directories(textquirl_product INTERFACE $<BUILD_INTERFACE:${TEXTQUIRL_INCLUDE_DIR}>)
