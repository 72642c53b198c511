# Packages of the program, made by CPack from the install rules below:
#   Windows: ProcessDrovak-VERSION-win64.zip, the one static executable (with
#            its version resource) and a short README.txt;
#   Linux:   processdrovak_VERSION-1_ARCH.deb, the stripped binary in
#            /usr/bin, a desktop entry, the icon in the hicolor theme, a manual
#            page, the Debian changelog and copyright file.
# Build the program first; `cpack --config BUILD/CPackConfig.cmake` then
# installs only what is here (installing builds nothing).
#
# The binary keeps its Windows name ProcessDrovak: the program names its
# autostart entry and recognises itself by the file name. Debian asks for
# lower case in package names only, so the package is processdrovak.
#
# lintian (Debian 12) on the .deb with --pedantic -I -E leaves these tags
# (scripts/check-packages fails on errors only):
#   W: initial-upload-closes-no-bugs - the first changelog entry of a package
#      in the Debian archive closes its ITP bug; this package is not there.
#   I: hardening-no-fortify-functions - the release preset's flags are the
#      project's own (no _FORTIFY_SOURCE); the binary is PIE, RELRO, BIND_NOW.

set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(pd_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(pd_out ${PROJECT_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME ProcessDrovak)
set(CPACK_PACKAGE_VENDOR "The ProcessDrovak developers")
set(CPACK_PACKAGE_CONTACT "The ProcessDrovak developers <processdrovak@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray program that ends hung and blocked applications")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
  # Version numbers for the version resource: 1.3 -> "1,3,0,0" and "1.3.0.0".
  set(pd_version "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      list(APPEND pd_version 0)
    else()
      list(APPEND pd_version ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  string(REPLACE ";" "," PD_VERSION_COMMAS "${pd_version}")
  string(REPLACE ";" "." PD_VERSION_DOTS "${pd_version}")
  configure_file(${pd_packaging}/version.rc.in ${pd_out}/version.rc @ONLY)
  target_sources(ProcessDrovak PRIVATE ${pd_out}/version.rc)

  configure_file(${pd_packaging}/README-windows.txt.in ${pd_out}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${pd_out}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS ProcessDrovak RUNTIME DESTINATION .)
  install(FILES ${pd_out}/README.txt ${pd_out}/LICENSE.txt DESTINATION .)

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(pd_system win64)
  else()
    set(pd_system win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ProcessDrovak-${PROJECT_VERSION}-${pd_system})
else()
  include(GNUInstallDirs)
  set(pd_doc ${CMAKE_INSTALL_DATADIR}/doc/processdrovak)
  set(PD_DEB_VERSION ${PROJECT_VERSION}-1)

  # Compressed as Debian wants them: gzip -9n (no name, no time stamp).
  configure_file(${pd_packaging}/changelog.in ${pd_out}/changelog.Debian @ONLY)
  configure_file(${pd_packaging}/ProcessDrovak.1.in ${pd_out}/ProcessDrovak.1 @ONLY)
  foreach(file changelog.Debian ProcessDrovak.1)
    execute_process(COMMAND gzip -9n -c ${pd_out}/${file} OUTPUT_FILE ${pd_out}/${file}.gz
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()

  # Relocations read-only and bound at start, as Debian's hardening asks.
  target_link_options(ProcessDrovak PRIVATE -Wl,-z,relro -Wl,-z,now)
  install(TARGETS ProcessDrovak RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Stripped as dh_strip does: symbols and the compilers' notes.
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                        --strip-unneeded
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/ProcessDrovak\"
                                COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${pd_packaging}/processdrovak.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/hicolor/${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME processdrovak.png)
  endforeach()
  install(FILES ${pd_out}/ProcessDrovak.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${pd_out}/changelog.Debian.gz ${pd_packaging}/copyright DESTINATION ${pd_doc})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME processdrovak)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ProcessDrovak lives in the tray. Ctrl+Alt+Super pressed twice within a second
ends the foreground application (a remedy for a hung full-screen program),
except those in an exceptions list. Every running process named in a block
list is ended as it appears. A process page ends processes, deletes their
executables, blocks them or saves a report. Every action is reported in a
notification balloon. The user interface is in Russian.")
endif()

include(CPack)
