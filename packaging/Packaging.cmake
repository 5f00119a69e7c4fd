# The packages a user installs: from the Linux build a .deb (CPack DEB) with both programs,
# the menu entry and icon, the manual pages, copyright, changelog and AppStream metainfo;
# from each MinGW build a zip (CPack ZIP) with both .exe files and a short text on how to
# run them, and an installer of the same (CPack NSIS, packaging/windows/NSIS.template.in),
# the .exe files carrying an icon, a version resource and an application manifest.
# `cpack --preset NAME` or scripts/package.sh makes them.

# The date of this version, for the manual pages, the metainfo and the changelog (whose
# format wants the day of the week as well).
set(ORVEN_RELEASE_DATE 2026-12-08)
set(ORVEN_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 12:00:00 +0000")

set(orven_packaging ${CMAKE_CURRENT_LIST_DIR})
set(orven_generated ${CMAKE_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME orven)
set(CPACK_PACKAGE_VENDOR "Морваш")
set(CPACK_PACKAGE_CONTACT "Морваш <orven@orven.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.orven.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Russian code advisor and script runner for programmers")
set(CPACK_PACKAGE_DESCRIPTION
    "ORVEN reads a PHP, XHTML, C++ or plain-text source file, tests a fixed set
of keywords against it and writes an advice report with examples
(result.html). Its expert mode runs a script of #root::math and #root::hv
commands and appends one line per command to orven_log.txt. The texts are
in Russian.
This package holds the desktop window (orven, on GTK 3) and the command-line
program (orven-cli).")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The icon from the menu entry's SVG, in the sizes Explorer and the task bar ask for; the
  # largest is kept as PNG inside the .ico, as Windows Vista and later read it.
  find_program(ORVEN_RSVG_CONVERT rsvg-convert)
  find_program(ORVEN_ICOTOOL icotool)
  if(NOT ORVEN_RSVG_CONVERT OR NOT ORVEN_ICOTOOL)
    message(FATAL_ERROR "orven: the .exe icon needs rsvg-convert and icotool "
                        "(apt-get install librsvg2-bin icoutils)")
  endif()
  set(orven_svg ${PROJECT_SOURCE_DIR}/app/orven.svg)
  set(orven_ico ${orven_generated}/orven.ico)
  set(orven_pngs "")
  set(orven_ico_args "")
  foreach(size 16 24 32 48 64 256)
    set(png ${orven_generated}/orven-${size}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${ORVEN_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${orven_svg}
                       DEPENDS ${orven_svg} VERBATIM)
    list(APPEND orven_pngs ${png})
    if(size EQUAL 256)
      list(APPEND orven_ico_args -r ${png})
    else()
      list(APPEND orven_ico_args ${png})
    endif()
  endforeach()
  add_custom_command(OUTPUT ${orven_ico}
                     COMMAND ${ORVEN_ICOTOOL} -c -o ${orven_ico} ${orven_ico_args}
                     DEPENDS ${orven_pngs} VERBATIM)
  add_custom_target(orven_icon DEPENDS ${orven_ico})

  set(ORVEN_ICON ${orven_ico})
  foreach(program "orven:ОРВЕН — окно программы" "orven-cli:ОРВЕН — командная строка")
    string(REGEX REPLACE ":.*" "" ORVEN_EXE_STEM "${program}")
    string(REGEX REPLACE "^[^:]*:" "" ORVEN_EXE_DESCRIPTION "${program}")
    if(TARGET ${ORVEN_EXE_STEM})
      set(ORVEN_EXE ${ORVEN_EXE_STEM}.exe)
      set(rc ${orven_generated}/${ORVEN_EXE_STEM}.rc)
      set(ORVEN_MANIFEST ${orven_generated}/${ORVEN_EXE_STEM}.manifest)
      configure_file(${orven_packaging}/windows/orven.manifest.in ${ORVEN_MANIFEST} @ONLY)
      configure_file(${orven_packaging}/windows/version.rc.in ${rc} @ONLY)
      set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${orven_ico};${ORVEN_MANIFEST}")
      target_sources(${ORVEN_EXE_STEM} PRIVATE ${rc})
      add_dependencies(${ORVEN_EXE_STEM} orven_icon)
    endif()
  endforeach()

  # Notepad takes a UTF-8 text for one only with the byte-order mark the template starts with.
  configure_file(${orven_packaging}/windows/START.txt.in ${orven_generated}/START.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${orven_generated}/START.txt DESTINATION ${CMAKE_INSTALL_BINDIR})

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  # The zip for those who want no installer, and the installer (NSIS, Debian's makensis) from
  # our own template: CPack's stock one asks for an administrator.
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_FILE_NAME orven-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
  list(APPEND CMAKE_MODULE_PATH ${orven_packaging}/windows)
  math(EXPR CPACK_NSIS_ORVEN_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_NSIS_MUI_ICON ${orven_ico})
  set(CPACK_NSIS_MUI_UNIICON ${orven_ico})
  # "Open with" ОРВЕН for the source types a walk reads: PHP, HTML, JavaScript, C and C++,
  # plain text.
  set(CPACK_NSIS_ORVEN_EXTENSIONS
      ".php .inc .phtml .html .htm .xhtml .js .mjs .c .cc .cpp .cxx .h .hh .hpp .hxx .inl .txt")
else()
  include(GNUInstallDirs)
  find_program(ORVEN_GZIP gzip REQUIRED)
  set(orven_docs "")
  # gzip -n keeps the name and time out of the header, so the same sources give the same
  # package.
  macro(orven_gzipped template name)
    configure_file(${orven_packaging}/${template} ${orven_generated}/${name} @ONLY)
    add_custom_command(OUTPUT ${orven_generated}/${name}.gz
                       COMMAND ${ORVEN_GZIP} -9nkf ${orven_generated}/${name}
                       DEPENDS ${orven_packaging}/${template} VERBATIM)
    list(APPEND orven_docs ${orven_generated}/${name}.gz)
  endmacro()

  orven_gzipped(changelog.in changelog)
  install(FILES ${orven_packaging}/copyright ${orven_generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  if(TARGET orven-cli)
    orven_gzipped(orven-cli.1.in orven-cli.1)
    install(FILES ${orven_generated}/orven-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  # The window's page and the metainfo go with the window and its menu entry.
  if(TARGET orven)
    orven_gzipped(orven.1.in orven.1)
    install(FILES ${orven_generated}/orven.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    configure_file(${orven_packaging}/orven.metainfo.xml.in
                   ${orven_generated}/example.orven.orven.metainfo.xml @ONLY)
    install(FILES ${orven_generated}/example.orven.orven.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  endif()
  add_custom_target(orven_docs ALL DEPENDS ${orven_docs})
  # Relocations read-only before the program starts, as Debian's hardened builds link.
  foreach(program orven orven-cli)
    if(TARGET ${program})
      target_link_options(${program} PRIVATE -Wl,-z,relro,-z,now)
    endif()
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries come from dpkg-shlibdeps; what the programs start or draw with is not a
  # library they link: xdg-open for the results, the fonts the window falls back to.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core, fonts-liberation")
  set(CPACK_PRE_BUILD_SCRIPTS ${orven_packaging}/strip-comment.cmake)
endif()

include(CPack)
