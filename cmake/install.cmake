# `cmake --install build --prefix P`: the program and its companions into
# P/bin (the shared Python module into P/share/rspec), every manual page of
# docs/man into P/share/man/man1.
include(GNUInstallDirs)
install(TARGETS rspec rspec-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/rspec-batch tools/plot-spectrum tools/design-spectrum
                 tools/spectrum-ratio
        DESTINATION ${CMAKE_INSTALL_BINDIR})
# The module the three Python tools share; each looks for it beside itself
# (the source tree) and in ../share/rspec (an installed tree).
install(FILES tools/spectrum_tables.py DESTINATION ${CMAKE_INSTALL_DATADIR}/rspec)
file(GLOB RSPEC_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
install(FILES ${RSPEC_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

