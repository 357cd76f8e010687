# The Windows package: the ZIP's extra files and licences. Included by QuillstonePackaging.cmake.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
# What is shipped besides our own code, with its licence: Qt (LGPL 3, which builds on the GPL
# 3) with Debian's copyright file for the source the kit was built from, and the compiler's
# runtime (GCC's runtime library exception; winpthreads' notice is in mingw-w64's file).
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
set(CPACK_GENERATOR ZIP)
