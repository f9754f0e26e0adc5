# The meeting end-to-end tests: install the build into a fresh prefix as the
# install step places it, then run a local meeting demonstration (two
# participants through vzrelay: screen sharing or video) on a private Xvfb,
# and check that nothing of it is left running afterwards.
# Inputs: VZ_BUILD_DIR, VZ_WORK_DIR, VZ_DEMO, VZ_DEMO_ARGS (a list, optional:
# the demonstration's options after --bin and --work), VZ_DEMO_WRAPPER (a
# list, optional: a command the demonstration runs under, which gives it its
# display), VZ_DEMO_TIMEOUT (seconds the demonstration may take, 150 if not
# given).
if(NOT VZ_DEMO_TIMEOUT)
  set(VZ_DEMO_TIMEOUT 150)
endif()
file(REMOVE_RECURSE "${VZ_WORK_DIR}")
file(MAKE_DIRECTORY "${VZ_WORK_DIR}")
set(prefix "${VZ_WORK_DIR}/prefix")
foreach(component vzbridge VelzarHub)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${VZ_WORK_DIR}/install-config HOME=${VZ_WORK_DIR}
            ${CMAKE_COMMAND} --install "${VZ_BUILD_DIR}" --prefix "${prefix}" --component ${component}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the install step of ${component} failed:\n${output}")
  endif()
endforeach()

# The sandboxes hold the programs' pipe sockets, whose paths must fit a
# socket address: keep them short, whatever the build folder's path.
string(MD5 work_hash "${VZ_WORK_DIR}")
string(SUBSTRING "${work_hash}" 0 12 work_hash)
set(sandbox "/tmp/vzs-${work_hash}")
file(REMOVE_RECURSE "${sandbox}")
file(MAKE_DIRECTORY "${sandbox}/own")
file(CHMOD "${sandbox}" "${sandbox}/own" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# The demonstration, vzrelay and the web attendee log into the sandbox too,
# never into the user's runtime folder.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY XDG_RUNTIME_DIR=${sandbox}/own
          XDG_CONFIG_HOME=${VZ_WORK_DIR}/config XDG_DATA_HOME=${VZ_WORK_DIR}/data XDG_CACHE_HOME=${VZ_WORK_DIR}/cache
          ${VZ_DEMO_WRAPPER} "${VZ_DEMO}" --bin "${prefix}/bin" --work "${sandbox}/work" ${VZ_DEMO_ARGS}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT ${VZ_DEMO_TIMEOUT})
message("${output}")
# The sandbox goes whatever the outcome; after a failure its files (not its
# sockets) are kept in the work folder, inside the build.
if(NOT result EQUAL 0 AND NOT result EQUAL 77)
  execute_process(COMMAND cp -r "${sandbox}" "${VZ_WORK_DIR}/sandbox" OUTPUT_QUIET ERROR_QUIET)
endif()
file(REMOVE_RECURSE "${sandbox}")

# Nothing started from the prefix may outlive the run.
execute_process(COMMAND ps -eo pid=,args= OUTPUT_VARIABLE processes)
string(REPLACE "\n" ";" processes "${processes}")
foreach(process IN LISTS processes)
  if(process MATCHES "${prefix}/bin/")
    message(FATAL_ERROR "left running after the run: ${process}")
  endif()
endforeach()
if(result EQUAL 77)
  # In the shape every skipped test reports in (scripts/skipped_tests.sh).
  set(requirements "package xvfb")
  list(FIND VZ_DEMO_WRAPPER "--manager" at)
  if(at GREATER_EQUAL 0)
    math(EXPR at "${at} + 1")
    list(GET VZ_DEMO_WRAPPER ${at} manager)
    string(APPEND requirements ", package ${manager}")
  endif()
  message("requires ${requirements}: Xvfb or the window manager asked for is not installed; "
          "the end-to-end test is skipped")
  file(REMOVE_RECURSE "${VZ_WORK_DIR}")
  return()
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the end-to-end run failed (${result}); its logs: ${VZ_WORK_DIR}/sandbox")
endif()
if(output MATCHES "ERROR: (Address|Leak)Sanitizer|runtime error:")
  message(FATAL_ERROR "a sanitizer reported a fault during the end-to-end run")
endif()
file(REMOVE_RECURSE "${VZ_WORK_DIR}")
