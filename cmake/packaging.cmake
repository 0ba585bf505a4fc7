# What `cmake --install` puts where, and the package CPack makes of that
# tree: a Debian package on Linux, a zip for Windows. The including file
# sets QUORBEL_PROGRAMS, the program targets to install.
include(GNUInstallDirs)

set(quorbelContact "Quorbel developers <quorbel@example.org>")

# The manual pages, the changelogs and the README's file names name the
# version in their own text, so that they read right as they stand; the
# build holds each to the project's version, so that they cannot drift
# apart. PATTERN captures the version as its first group, in its first
# match in the file or, with EVERY, in each.
function(quorbel_check_version file pattern)
  file(READ ${PROJECT_SOURCE_DIR}/${file} text)
  if(ARGV2 STREQUAL "EVERY")
    string(REGEX MATCHALL "${pattern}" found "${text}")
  else()
    string(REGEX MATCH "${pattern}" found "${text}")
  endif()
  if(NOT found)
    message(FATAL_ERROR
      "${file} names no version; it must match ${pattern}")
  endif()
  foreach(match IN LISTS found)
    string(REGEX MATCH "${pattern}" match "${match}")
    if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
      message(FATAL_ERROR
        "${file} names version ${CMAKE_MATCH_1}, but the project's is "
        "${PROJECT_VERSION} (CMakeLists.txt): make them the same")
    endif()
  endforeach()
  # An edit to the file checks it again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/${file})
endfunction()

foreach(program IN LISTS QUORBEL_PROGRAMS)
  quorbel_check_version(doc/${program}.1
                        "^\\.TH [^ ]+ [0-9]+ [^ ]+ \"quorbel ([^\"]+)\"")
endforeach()
quorbel_check_version(cmake/changelog.Debian "^quorbel \\(([^)]+)\\) ")
# The newest release comes first.
quorbel_check_version(CHANGELOG.md "\n## ([0-9][^ ]*) - ")
# Such as quorbel_1.1.0_amd64.deb, quorbel-1.1.0-win32.zip.
quorbel_check_version(README.md "quorbel[-_a-z]*[-_]([0-9]+\\.[0-9]+\\.[0-9]+)"
                      EVERY)

set(QUORBEL_EXAMPLES
  examples/1Template.pch
  examples/2Template.pch
  examples/3Template.pch
  examples/4Template.pch
  examples/sample.raw)

# The web page as one file, which opens with a double-click: the web
# preset's quorbel.html, built before the package or the zip is made.
set(QUORBEL_WEB_PAGE ${PROJECT_SOURCE_DIR}/build/web/quorbel.html CACHE FILEPATH
    "The page as one file that the package and the zip carry")
install(CODE "
  if(NOT EXISTS \"${QUORBEL_WEB_PAGE}\")
    message(FATAL_ERROR \"${QUORBEL_WEB_PAGE} is missing: build the page first, \"
      \"with `npm ci --prefix web && cmake --workflow --preset web`.\")
  endif()")

if(WIN32)
  install(FILES ${QUORBEL_WEB_PAGE} DESTINATION .)
  # One folder: the programs, their launchers for a double-click, the texts
  # and the examples beside them, as a Windows user unpacks and runs them.
  # There is no manual page there.
  install(TARGETS ${QUORBEL_PROGRAMS} RUNTIME DESTINATION .)
  install(FILES windows/Quorbel.cmd "windows/Quorbel preview.cmd"
          DESTINATION .)
  install(FILES ${QUORBEL_EXAMPLES} DESTINATION examples)

  # The texts with CR LF line ends, which Notepad expects. Of the README,
  # README.txt holds the part for the people who use Quorbel, which ends
  # before the developers' set-up.
  set(textSources README.md LICENSE CHANGELOG.md)
  set(textNames README.txt LICENSE.txt CHANGELOG.txt)
  set(texts)
  foreach(text IN ZIP_LISTS textSources textNames)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${text_1})
    set(part)
    if(text_1 STREQUAL "README.txt")
      set(part -DPART=README.txt)
    endif()
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${text_0}
              -DOUTPUT=${output} ${part}
              -P ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${text_0}
              ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
      VERBATIM)
    list(APPEND texts ${output})
  endforeach()
  add_custom_target(quorbel_texts ALL DEPENDS ${texts})
  install(FILES ${texts} DESTINATION .)

  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS ${QUORBEL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${QUORBEL_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorbel)
  install(FILES ${QUORBEL_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

  # Debian wants the pages and the changelog compressed (gzip -n: no name or
  # time stamp inside, so a rebuild gives the same bytes), and man finds the
  # pages so under any prefix.
  find_program(QUORBEL_GZIP gzip REQUIRED)
  set(pages)
  foreach(program IN LISTS QUORBEL_PROGRAMS)
    list(APPEND pages doc/${program}.1)
  endforeach()
  set(compressed)
  foreach(file IN LISTS pages ITEMS cmake/changelog.Debian)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${file})
    configure_file(${PROJECT_SOURCE_DIR}/${file} ${copy} COPYONLY)
    add_custom_command(
      OUTPUT ${copy}.gz
      COMMAND ${QUORBEL_GZIP} -9 -n -f -k ${copy}
      DEPENDS ${copy}
      VERBATIM)
    list(APPEND compressed ${copy}.gz)
  endforeach()
  add_custom_target(quorbel_compressed ALL DEPENDS ${compressed})
  list(TRANSFORM pages PREPEND ${CMAKE_CURRENT_BINARY_DIR}/)
  list(TRANSFORM pages APPEND .gz)
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The package is made from its own source, so Debian takes it for a
  # native one, whose changelog is changelog.gz.
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cmake/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.gz)

  # Debian's copyright file, in its machine-readable form, made from
  # LICENSE: the copyright line, and the licence text after it, each line
  # indented and each blank line a lone full stop. Debian calls the MIT
  # licence Expat.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(Permission .*)$")
    message(FATAL_ERROR "LICENSE: no copyright line followed by the licence")
  endif()
  set(copyrightHolders "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" licenseText)
  string(REPLACE "\n\n" "\n.\n" licenseText "${licenseText}")
  string(REPLACE "\n" "\n " licenseText "${licenseText}")
  set(copyright ${CMAKE_CURRENT_BINARY_DIR}/copyright)
  file(WRITE ${copyright}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${quorbelContact}

Files: *
Copyright: ${copyrightHolders}
License: Expat
 ${licenseText}
")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES ${copyright} DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_VENDOR "Quorbel developers")
set(CPACK_PACKAGE_CONTACT ${quorbelContact})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turn a raw file of bytes into patches for the Nord Modular")
set(CPACK_PACKAGE_DESCRIPTION
"Quorbel reads any file as plain bytes, halves each byte to a value of
0 to 127 and writes up to 2048 such values into the parameter lines of
four template patches that you prepare, making up to four new patch files
for the Nord Modular synthesizer. It asks two questions on the console
and works in the current folder.

The package holds the program and its preview, their manual pages, the
README, the changelog, four small example templates with a sample input,
and the same programs in a web page of one file,
/usr/share/quorbel/quorbel.html, which any current browser opens.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
