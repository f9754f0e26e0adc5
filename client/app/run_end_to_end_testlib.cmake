# The end-to-end test: installs the build into a fresh prefix as the install
# step places it, then runs the demonstration in its checking mode against
# the installed vzbridge and VelzarHub.
# Inputs: VZ_BUILD_DIR, VZ_WORK_DIR, VZ_DEMO.
file(REMOVE_RECURSE "${VZ_WORK_DIR}")
file(MAKE_DIRECTORY "${VZ_WORK_DIR}")
set(prefix "${VZ_WORK_DIR}/prefix")

# The host manifests of the install step go into the work folder, not the user's.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${VZ_WORK_DIR}/install-config HOME=${VZ_WORK_DIR}
          ${CMAKE_COMMAND} --install "${VZ_BUILD_DIR}" --prefix "${prefix}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the install step failed:\n${output}")
endif()
foreach(file vzbridge VelzarHub VelzarHub.version vzrelay libvzlink.so libvzaudio.so libvztrace.so libvzplatform.so libvzplatform_desktop.so
             libvzplatform_download.so
             libvzres.so vzres.bundle libvzshare.so libvzgrab.so libvzwire.so libjpeg9b.so)
  if(NOT EXISTS "${prefix}/bin/${file}")
    message(FATAL_ERROR "the install step did not place bin/${file}")
  endif()
endforeach()

# The sandbox holds the programs' runtime folder and so the pipe socket, whose
# path must fit a socket address (108 bytes): keep it short, whatever the
# build folder's path.
string(MD5 work_hash "${VZ_WORK_DIR}")
string(SUBSTRING "${work_hash}" 0 12 work_hash)
set(sandbox "/tmp/vze-${work_hash}")
file(REMOVE_RECURSE "${sandbox}")
file(MAKE_DIRECTORY "${sandbox}/own")
file(CHMOD "${sandbox}" "${sandbox}/own" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# The demonstration itself logs into the sandbox too, never into the user's folders.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env XDG_RUNTIME_DIR=${sandbox}/own XDG_CONFIG_HOME=${VZ_WORK_DIR}/config
          XDG_DATA_HOME=${VZ_WORK_DIR}/data XDG_CACHE_HOME=${VZ_WORK_DIR}/cache
          "${VZ_DEMO}" --bin "${prefix}/bin" --work "${sandbox}/work" --check
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT 280)
message("${output}")
# The sandbox goes whatever the outcome; after a failure its files (not its
# sockets) are kept in the work folder, inside the build.
if(NOT result EQUAL 0)
  execute_process(COMMAND cp -r "${sandbox}" "${VZ_WORK_DIR}/sandbox" OUTPUT_QUIET ERROR_QUIET)
endif()
file(REMOVE_RECURSE "${sandbox}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the end-to-end run failed (${result}); its logs: ${VZ_WORK_DIR}/sandbox")
endif()
# VelzarHub is not the demonstration's child, so its exit code is not seen;
# a sanitizer report on the shared standard error is.
if(output MATCHES "ERROR: (Address|Leak)Sanitizer|runtime error:")
  message(FATAL_ERROR "a sanitizer reported a fault during the end-to-end run")
endif()
file(REMOVE_RECURSE "${VZ_WORK_DIR}")
