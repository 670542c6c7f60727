# Writes the .ipk opkg installs: an ar archive (GNU ar) of debian-binary, control.tar.gz and
# data.tar.gz (GNU tar, owner root), in that order. Run by the package-ipk target.
set(work ${BUILD_DIR}/ipk)
file(REMOVE_RECURSE ${work}/data ${work}/control.d)
file(MAKE_DIRECTORY ${work}/data ${work}/control.d)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${work}/data --strip
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing into ${work}/data failed")
endif()

file(COPY ${work}/control ${SOURCE_DIR}/packaging/postinst DESTINATION ${work}/control.d)
file(WRITE ${work}/debian-binary "2.0\n")

set(tar_options --owner=0 --group=0 --numeric-owner --sort=name --mtime=@0)
foreach(part data control)
  set(dir ${work}/${part})
  if(part STREQUAL "control")
    set(dir ${work}/control.d)
  endif()
  execute_process(COMMAND tar ${tar_options} -czf ${work}/${part}.tar.gz -C ${dir} .
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "tar of ${part} failed")
  endif()
endforeach()
file(REMOVE ${IPK})
execute_process(COMMAND ar rcD ${IPK} debian-binary control.tar.gz data.tar.gz
  WORKING_DIRECTORY ${work} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ar failed")
endif()
message(STATUS "wrote ${IPK}")
