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

# The project's address, on its own domain: the Debian maintainer and the copyright contact.
set(CPACK_PACKAGE_CONTACT "Quillstone developers <maintainers@quillstone.dev>")
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/QuillstonePackageWindows.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/QuillstonePackageDebian.cmake)
endif()

set(CPACK_PACKAGE_NAME Quillstone)
set(CPACK_PACKAGE_VENDOR Quillstone)
# At most 80 characters: Debian's summary line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Configuration tool for networked terminal devices, with a device simulator")
set(CPACK_PACKAGE_FILE_NAME Quillstone-${PROJECT_VERSION}-${QUILLSTONE_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
include(CPack)
