# The Windows packages, both from the release build of the windows preset: a ZIP to unpack into
# a folder of one's own, and an installer (NSIS) into Program Files with a Start-menu entry and
# an uninstaller. Included by QuillstonePackaging.cmake.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
# Our own licence beside what is shipped besides our own code, with its licence: Qt (LGPL 3,
# which builds on the GPL 3) with Debian's copyright file for the source the kit was built from,
# and the compiler's runtime (GCC's runtime library exception; winpthreads' notice is in
# mingw-w64's file).
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION licences RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/THIRD-PARTY.txt DESTINATION licences)
# The licence texts come from the Debian machine that cross-builds the package.
if(CMAKE_HOST_UNIX)
  install(FILES /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
          DESTINATION licences)
  install(FILES /usr/share/doc/libqt6core6/copyright DESTINATION licences RENAME qt6-base.copyright)
  install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright DESTINATION licences
          RENAME gcc-mingw-w64.copyright)
  install(FILES /usr/share/doc/mingw-w64-common/copyright DESTINATION licences
          RENAME mingw-w64.copyright)
endif()

# CPACK_STRIP_FILES strips our own programs only; the Qt and compiler runtime DLLs come with
# their debug data (libstdc++-6.dll alone carries some 19 MB of it). This rule comes after every
# other of the package, so every DLL in it is stripped.
install(CODE "set(QUILLSTONE_STRIP \"${CMAKE_STRIP}\")")
install(CODE [[
  file(GLOB_RECURSE dlls "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/*.dll")
  foreach(dll ${dlls})
    execute_process(COMMAND "${QUILLSTONE_STRIP}" --strip-unneeded "${dll}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cannot strip ${dll}")
    endif()
  endforeach()
]])

set(CPACK_GENERATOR ZIP)
# Values reach CPack as written here, backslashes and quotes of the NSIS commands included.
set(CPACK_VERBATIM_VARIABLES ON)
# The installer needs NSIS (Debian's nsis package, which scripts/test-windows.sh installs).
find_program(QUILLSTONE_MAKENSIS makensis)
if(QUILLSTONE_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
else()
  message(STATUS "No makensis (Debian's nsis package): the Windows installer is not built")
endif()
# Program Files\Quillstone whatever the version, so that an update replaces the earlier one
# (which the installer uninstalls first).
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillstone)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quillstone)
# The name is also the Start-menu folder's: "Quillstone", as the program folder.
set(CPACK_NSIS_PACKAGE_NAME Quillstone)
set(CPACK_NSIS_DISPLAY_NAME "Quillstone ${PROJECT_VERSION}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The programs are in the installation folder itself, not in bin\.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The Start-menu entry: the window only; the command-line tools are for a command prompt.
set(CPACK_PACKAGE_EXECUTABLES quillstone Quillstone)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/quillstone.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/icons/quillstone.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME quillstone.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for the 64-bit program: it runs where the program runs, a 64-bit-only Wine
# included, and its own view of the system is the program's (Program Files, the registry).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# The licence page shows our own licence; all of them are installed in licences\.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Settings the program kept in its own folder (run with the right to write there) go with it,
# so that nothing of the program stays behind; the per-user ones in %APPDATA% are the user's.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  Delete "$INSTDIR\options.ini"
  Delete "$INSTDIR\IPconfig.ini"
]])
