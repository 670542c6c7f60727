# What `cmake --install` lays out under its prefix for the board (use --prefix STAGING_ROOT; the
# paths below are relative to the root of the board's file system). Nothing of the simulator.
set(VELKORD_PACKAGE_VERSION "1.0-r743")
if(CMAKE_CROSSCOMPILING)
  set(VELKORD_PACKAGE_ARCH armhf)
else()
  set(VELKORD_PACKAGE_ARCH amd64)
endif()
# Never the machine's own root by default: `cmake --install` run as root on a build machine would
# overwrite its /usr/bin, /etc/init.d and /srv/www.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "${CMAKE_BINARY_DIR}/board-root" CACHE PATH "Root of the board's file system" FORCE)
endif()

install(TARGETS velkord RUNTIME DESTINATION usr/bin)
install(PROGRAMS packaging/velkord.sh DESTINATION etc/init.d)

# Images and the default users file; the server's private key is made on the board, never shipped.
file(GLOB velkord_images CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/img/*.pgm)
install(FILES ${velkord_images} DESTINATION usr/share/velkord/img)
if(EXISTS ${CMAKE_SOURCE_DIR}/data/users.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/data/users.txt DESTINATION usr/share/velkord)
endif()

# build/velkord_1.0-r743_<arch>.ipk: `cmake --build BUILD --target package-ipk`.
set(VELKORD_IPK ${CMAKE_BINARY_DIR}/velkord_${VELKORD_PACKAGE_VERSION}_${VELKORD_PACKAGE_ARCH}.ipk)
configure_file(packaging/control.in ${CMAKE_BINARY_DIR}/ipk/control @ONLY)
add_custom_command(OUTPUT ${VELKORD_IPK}
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DSTRIP=${CMAKE_STRIP}
    -DIPK=${VELKORD_IPK} -P ${CMAKE_SOURCE_DIR}/cmake/make_ipk.cmake
  DEPENDS velkord packaging/velkord.sh packaging/postinst
    ${CMAKE_BINARY_DIR}/ipk/control ${CMAKE_SOURCE_DIR}/cmake/make_ipk.cmake
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)
add_custom_target(package-ipk ALL DEPENDS ${VELKORD_IPK})
add_dependencies(package-ipk www)
