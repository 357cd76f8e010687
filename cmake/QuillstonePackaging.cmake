# Installation and packages: a ZIP for Windows (`cmake --build --preset windows --target
# package`) and a .deb for Debian (`cpack -G DEB` in a release build).
#
# Windows: everything in one folder, as the tool expects it (capstan.dll, bmp\ and its INI files
# beside quillstone.exe). Debian: the same folder under /usr/lib/quillstone, the programs linked
# into /usr/bin; the tool finds its folder through /proc/self/exe, which resolves the link.
if(WIN32)
  set(program_dir .)
  set(QUILLSTONE_PACKAGE_SYSTEM win64)
else()
  include(GNUInstallDirs)
  set(program_dir ${CMAKE_INSTALL_LIBDIR}/quillstone)
  set(QUILLSTONE_PACKAGE_SYSTEM ${CMAKE_SYSTEM_PROCESSOR})
endif()

# quillstone-cli comes with its own area; it is packaged once it exists.
set(programs)
foreach(program quillstone quillstone-devsim quillstone-cli)
  if(TARGET ${program})
    list(APPEND programs ${program})
  endif()
endforeach()
# capstan's import library on Windows is for building against it, not for running.
install(TARGETS ${programs} capstan
        RUNTIME DESTINATION ${program_dir}
        LIBRARY DESTINATION ${program_dir}
        ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
if(TARGET quillstone)
  install(FILES ${PROJECT_SOURCE_DIR}/app/bmp/textconnetOK.bmp
                ${PROJECT_SOURCE_DIR}/app/bmp/textconncet.bmp
          DESTINATION ${program_dir}/bmp)
endif()

if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
  # What is shipped besides our own code, with its licence: Qt (LGPL 3, which builds on the GPL
  # 3) with Debian's copyright file for the source the kit was built from, and the compiler's
  # runtime (GCC's runtime library exception; winpthreads' notice is in mingw-w64's file).
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/THIRD-PARTY.txt DESTINATION licences)
  # The licence texts come from the Debian machine that cross-builds the package.
  if(CMAKE_HOST_UNIX)
  install(FILES
                /usr/share/common-licenses/LGPL-3
                /usr/share/common-licenses/GPL-3
          DESTINATION licences)
  install(FILES /usr/share/doc/libqt6core6/copyright DESTINATION licences RENAME qt6-base.copyright)
  install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright DESTINATION licences
          RENAME gcc-mingw-w64.copyright)
  install(FILES /usr/share/doc/mingw-w64-common/copyright DESTINATION licences
          RENAME mingw-w64.copyright)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  foreach(program ${programs})
    install(CODE "
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(CREATE_LINK ../${program_dir}/${program}
           \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
  endforeach()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME quillstone)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Debian's own Qt; the xcb platform plugin comes with qt6-qpa-plugins.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.4.2), libqt6gui6 (>= 6.4.2), libqt6core6 (>= 6.4.2), qt6-qpa-plugins, libc6, libstdc++6")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillstone developers <quillstone@localhost>")
endif()

set(CPACK_PACKAGE_NAME Quillstone)
set(CPACK_PACKAGE_VENDOR Quillstone)
set(CPACK_PACKAGE_CONTACT "Quillstone developers <quillstone@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Configuration tool for a networked terminal device, with its library and a device simulator")
set(CPACK_PACKAGE_FILE_NAME Quillstone-${PROJECT_VERSION}-${QUILLSTONE_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
include(CPack)
