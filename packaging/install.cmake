# Installation (cmake --install build --prefix P) and the Debian package
# (cpack -G DEB, see scripts/package.sh).
#
#   P/bin                 tolv, brenlo24 and the command-line tools
#   P/lib/varenta         the directional spectrum estimators emep2 and bayes2
#                         (the processing program starts them from there when
#                         its program folder holds no copy of its own)
#   P/share/varenta       the installation data; a new per-user program folder
#                         is prepared from it on first start
#   P/share/applications  tolv.desktop, brenlo24.desktop
#   P/share/icons/hicolor icons (SVG, 48 and 256 pixel PNG)
#   P/share/man/man1      manual pages made from the programs' --help
include(GNUInstallDirs)
# cmake --install and cpack take what is built; scripts/package.sh builds the
# installed targets only, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set_source_files_properties(${PROJECT_SOURCE_DIR}/common/cliinfo.cpp PROPERTIES
  COMPILE_DEFINITIONS "VARENTA_VERSION=\"${PROJECT_VERSION}\"")

set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_commands tolv brenlo24 nrexport nrsynth nremu)
install(TARGETS ${_commands} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS emep2 bayes2 RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/varenta)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/varenta
  PATTERN README.md EXCLUDE)
install(FILES ${_pkg}/tolv.desktop ${_pkg}/brenlo24.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varenta)

# Icons: the drawn SVG and PNG renderings of it.
find_program(RSVG_CONVERT rsvg-convert)
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(_generated)
foreach(_app tolv brenlo24)
  install(FILES ${_pkg}/${_app}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(RSVG_CONVERT)
    foreach(_size 48 256)
      set(_png ${PROJECT_BINARY_DIR}/icons/${_size}/${_app}.png)
      add_custom_command(OUTPUT ${_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${_size}
        COMMAND ${RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_pkg}/${_app}.svg
        DEPENDS ${_pkg}/${_app}.svg VERBATIM)
      list(APPEND _generated ${_png})
      install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    endforeach()
  endif()
endforeach()

# Manual pages of every command in P/bin, from its --help and --version.
if(HELP2MAN AND GZIP)
  set(_name_tolv "processing program of the wave and current logger")
  set(_name_brenlo24 "communication program of the wave and current logger")
  set(_name_nrexport "export master data files to NetCDF or CSV")
  set(_name_nrsynth "write synthetic master data files")
  set(_name_nremu "emulate a wave and current logger on a pseudo-terminal")
  foreach(_cmd ${_commands})
    set(_man ${PROJECT_BINARY_DIR}/man/${_cmd}.1)
    add_custom_command(OUTPUT ${_man}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${_name_${_cmd}}
              --source=Varenta --output=${_man} $<TARGET_FILE:${_cmd}>
      COMMAND ${GZIP} -9nf ${_man}
      DEPENDS ${_cmd} VERBATIM)
    list(APPEND _generated ${_man}.gz)
    install(FILES ${_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
endif()
# The Debian changelog, compressed as the policy asks.
if(GZIP)
  set(_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${_changelog}
    COMMAND sh -c "${GZIP} -9nc '${_pkg}/changelog' > '${_changelog}'"
    DEPENDS ${_pkg}/changelog VERBATIM)
  list(APPEND _generated ${_changelog})
  install(FILES ${_changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varenta)
endif()
add_custom_target(installdata ALL DEPENDS ${_generated})

# --- Debian package ---
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varenta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varenta")
set(CPACK_PACKAGE_CONTACT "Varenta developers <varenta@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wave, current and wind logger software (communication and processing)")
set(CPACK_PACKAGE_DESCRIPTION
  "Desktop software of the self-recording wave, current and wind logger.\nBrenlo24 configures the logger over its serial link and collects its\nmeasurements into master data files; Tolv opens master data files and\nshows tables and graphs, computes power and directional wave spectra,\nconverts files to text and publishes result pages.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/varenta")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
