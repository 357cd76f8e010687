# The Debian package: links in /usr/bin, the menu entry and its icons, the AppStream metainfo,
# the documentation Debian asks of every package (DEP-5 copyright, changelog.gz, a manual page
# per program) and the package's metadata. Included by QuillstonePackaging.cmake; the files it
# is made from are in packaging/linux/.
set(linux_sources ${PROJECT_SOURCE_DIR}/packaging/linux)
set(linux_generated ${PROJECT_BINARY_DIR}/packaging/linux)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillstone)
# The component id of the AppStream metainfo and the desktop entry's name, from the project's
# domain, quillstone.dev.
set(QUILLSTONE_APP_ID dev.quillstone.Quillstone)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(QUILLSTONE_PROGRAM_DIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${program_dir})
file(MAKE_DIRECTORY ${linux_generated})

foreach(program ${programs})
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK ../${program_dir}/${program}
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
endforeach()

# CPack's strip (CPACK_STRIP_FILES) keeps the .comment section, the compilers' version strings,
# which Debian's own strip removes and lintian lists as unneeded: removed here, as dh_strip does.
foreach(target ${programs} capstan)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${program_dir}/$<TARGET_FILE_NAME:${target}>\")
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment \"\${file}\"
                      RESULT_VARIABLE stripped)
      if(NOT stripped EQUAL 0)
        message(FATAL_ERROR \"could not remove the .comment section of \${file}\")
      endif()
    endif()")
endforeach()

# The changelog's newest entry must be the project's version: the package, the programs'
# --version and the metainfo's release then all say the same. Its date is the release's.
file(STRINGS ${linux_sources}/changelog changelog_lines)
list(GET changelog_lines 0 changelog_top)
if(NOT changelog_top MATCHES "^quillstone \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog starts with \"${changelog_top}\": its first "
                      "entry must be for version ${PROJECT_VERSION}")
endif()
set(trailer_date "[A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
foreach(line ${changelog_lines})
  if(line MATCHES "^ -- .*  ${trailer_date}")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1")
    set(day ${CMAKE_MATCH_1})
    foreach(part month day)
      string(LENGTH "${${part}}" length)
      if(length EQUAL 1)
        set(${part} 0${${part}})
      endif()
    endforeach()
    set(QUILLSTONE_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${day})
    break()
  endif()
endforeach()
if(NOT QUILLSTONE_RELEASE_DATE OR month STREQUAL "00")
  message(FATAL_ERROR "packaging/linux/changelog: no dated trailer line in its first entry")
endif()

# The copyright file in Debian's machine-readable form, with the text of LICENSE as the
# licence (Expat is that form's name for this MIT licence): a line of its own for every line,
# " ." for a blank one.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
list(GET license_lines 2 license_holder)
string(REGEX REPLACE "^Copyright \\(c\\) " "" license_holder "${license_holder}")
set(license_text)
foreach(line ${license_lines})
  if(line STREQUAL "")
    string(APPEND license_text " .\n")
  else()
    string(APPEND license_text " ${line}\n")
  endif()
endforeach()
file(WRITE ${linux_generated}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Quillstone\n"
     "Upstream-Contact: ${CPACK_PACKAGE_CONTACT}\n"
     "Source: https://quillstone.dev/\n\n"
     "Files: *\n"
     "Copyright: ${license_holder}\n"
     "License: Expat\n\n"
     "License: Expat\n"
     "${license_text}")

# gzip -9n: the best compression and no time stamp, so a rebuild gives the same bytes.
set(compressed_docs ${linux_generated}/changelog.gz)
add_custom_command(
  OUTPUT ${linux_generated}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${linux_sources}/changelog ${linux_generated}/changelog
  COMMAND gzip -9nf ${linux_generated}/changelog
  DEPENDS ${linux_sources}/changelog
  VERBATIM)

# A manual page per program and a bash completion for the two command-line programs, made by
# packaging/linux/help-docs.py from the program's own --help (each subcommand's too) and, for
# what --help does not say, packaging/linux/man/PROGRAM.include: an option added to a program
# is in both at the next build. In the package's build only, as running every program
# (sanitised ones too) on each build buys nothing; the tests in tests/packaging make and check
# them on every test run.
option(QUILLSTONE_HELP_DOCS
       "Make the manual pages and bash completions from --help (scripts/package-linux.sh)" OFF)
set(man_pages)
set(completions)
if(QUILLSTONE_HELP_DOCS)
  # Debian's python3, as in tests/packaging.
  find_program(QUILLSTONE_PYTHON3 python3 HINTS /usr/bin REQUIRED)
  set(help_docs ${linux_sources}/help-docs.py)
  file(MAKE_DIRECTORY ${linux_generated}/completions)
  set(summary_quillstone "configure a networked terminal device")
  set(summary_quillstone-cli "read, apply and verify the options of terminal devices")
  set(summary_quillstone-devsim "simulate a networked terminal device for testing its clients")
  foreach(program ${programs})
    set(page ${linux_generated}/${program}.1)
    set(include ${linux_sources}/man/${program}.include)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${QUILLSTONE_PYTHON3} ${help_docs} man $<TARGET_FILE:${program}> --name ${program}
              "--summary=${summary_${program}}" --version ${PROJECT_VERSION}
              --date ${QUILLSTONE_RELEASE_DATE} --include ${include} --output ${page}
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${help_docs} ${include}
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
    if(NOT program STREQUAL "quillstone")
      set(completion ${linux_generated}/completions/${program})
      add_custom_command(
        OUTPUT ${completion}
        COMMAND ${QUILLSTONE_PYTHON3} ${help_docs} bash-completion $<TARGET_FILE:${program}>
                --name ${program} --output ${completion}
        DEPENDS ${program} ${help_docs}
        VERBATIM)
      list(APPEND completions ${completion})
    endif()
  endforeach()
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Where bash-completion loads a command's completion from when it is first completed.
  install(FILES ${completions} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
add_custom_target(quillstone_linux_docs ALL DEPENDS ${compressed_docs} ${man_pages} ${completions})

install(FILES ${linux_generated}/copyright ${compressed_docs} DESTINATION ${doc_dir})
# The JSON report's schema, which quillstone-cli's manual page names.
if(TARGET quillstone-cli)
  install(FILES ${PROJECT_SOURCE_DIR}/cli/report.schema.json DESTINATION ${doc_dir})
endif()
install(FILES ${linux_sources}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillstone)
if(TARGET quillstone)
  install(FILES ${linux_sources}/quillstone.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${QUILLSTONE_APP_ID}.desktop)
  configure_file(${linux_sources}/${QUILLSTONE_APP_ID}.metainfo.xml.in
                 ${linux_generated}/${QUILLSTONE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${linux_generated}/${QUILLSTONE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/quillstone-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quillstone.png)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/quillstone.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
set(maintainer_scripts ${linux_generated}/prerm)
configure_file(${linux_sources}/prerm.in ${linux_generated}/prerm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
foreach(QUILLSTONE_SCRIPT postinst postrm)
  configure_file(${linux_sources}/no-ldconfig.in ${linux_generated}/${QUILLSTONE_SCRIPT} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  list(APPEND maintainer_scripts ${linux_generated}/${QUILLSTONE_SCRIPT})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_NAME quillstone)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillstone.dev/)
# Below the summary line: the package's long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillstone connects to a terminal device over TCP/IP or RS232, tests the
connection, writes the device's Wi-Fi options and wireless IP settings and
restarts it. The package also holds quillstone-cli, which reads, applies and
verifies the options of one device or a whole site from the command line,
and quillstone-devsim, a device simulator for trying both without hardware.")
# The libraries and their minimum versions from dpkg-shlibdeps; the package's own libcapstan is
# found beside the programs. Qt's xcb platform plugin is loaded at run time, so no linker sees it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The page's CJK face has a stand-in in this font where the system lacks it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-microhei)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${maintainer_scripts})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
