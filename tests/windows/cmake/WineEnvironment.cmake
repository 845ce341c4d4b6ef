# Included by the scripts of the Windows test leg: runs Wine headless in the build tree's
# own prefix.
#
#   WINE_PREFIX  the prefix folder (created by WineBoot.cmake)
#
# No display (Wine then opens no windows and asks nothing), no debug channels, no
# downloads of the .NET and HTML engines that a fresh prefix would otherwise offer.
if(NOT WINE_PREFIX)
  message(FATAL_ERROR "WINE_PREFIX is not set")
endif()
set(ENV{WINEPREFIX} "${WINE_PREFIX}")
set(ENV{WINEARCH} "win64")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
