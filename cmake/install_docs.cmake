# The documents and manual pages that go with an installed program.
set(VZ_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vzupdater)
install(FILES README.md DESTINATION ${VZ_DOC_DIR})
install(FILES
  docs/performance.md
  docs/robustness.md
  docs/window.md
  docs/window-run.png
  docs/windows.md
  DESTINATION ${VZ_DOC_DIR}/docs)
install(FILES emulator/README.md DESTINATION ${VZ_DOC_DIR}/emulator RENAME README.md)
install(FILES packaging/copyright DESTINATION ${VZ_DOC_DIR})

if(NOT WIN32)
  # Compressed as Debian keeps manual pages; -n leaves the time out, so a
  # rebuild gives the same bytes.
  find_program(VZ_GZIP gzip REQUIRED)
  set(VZ_MAN_PAGES)
  foreach(page vzflash.1 vzdevice.1 vzupdater.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${VZ_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}
      VERBATIM)
    list(APPEND VZ_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.gz)
  endforeach()
  add_custom_target(vz_man_pages ALL DEPENDS ${VZ_MAN_PAGES})
  install(FILES ${VZ_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
