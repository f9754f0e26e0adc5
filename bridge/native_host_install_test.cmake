# The install step's test: the manifest writer alone gives the exact
# manifest, and "cmake --install" of the vzbridge component places the
# program, its library and the two browsers' manifests.
# Inputs: VZ_BUILD_DIR, VZ_SOURCE_DIR (bridge/), VZ_WORK_DIR, VZ_HOST_NAME.
file(REMOVE_RECURSE "${VZ_WORK_DIR}")
file(MAKE_DIRECTORY "${VZ_WORK_DIR}")

function(expect_equal actual expected what)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n--- got ---\n${actual}\n--- wanted ---\n${expected}")
  endif()
endfunction()

# The writer alone.
set(origins "chrome-extension://abcdefghijklmnopabcdefghijklmnop/;chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/")
execute_process(
  COMMAND ${CMAKE_COMMAND} -DVZ_HOST_NAME=com.velzar.test.host "-DVZ_PROGRAM_PATH=/opt/velzar \"x\"/bin/vzbridge"
          "-DVZ_ALLOWED_ORIGINS=${origins}" "-DVZ_MANIFEST_FOLDERS=${VZ_WORK_DIR}/one;${VZ_WORK_DIR}/two"
          -P ${VZ_SOURCE_DIR}/write_native_host_manifest.cmake
  RESULT_VARIABLE result)
expect_equal("${result}" "0" "the manifest writer failed")
set(wanted "{
  \"name\": \"com.velzar.test.host\",
  \"description\": \"VelzarHub native messaging host\",
  \"path\": \"/opt/velzar \\\"x\\\"/bin/vzbridge\",
  \"type\": \"stdio\",
  \"allowed_origins\": [\"chrome-extension://abcdefghijklmnopabcdefghijklmnop/\", \"chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/\"]
}
")
foreach(folder one two)
  file(READ "${VZ_WORK_DIR}/${folder}/com.velzar.test.host.json" manifest)
  expect_equal("${manifest}" "${wanted}" "manifest in ${folder}")
endforeach()

# A host name the browser would refuse.
execute_process(
  COMMAND ${CMAKE_COMMAND} "-DVZ_HOST_NAME=Bad Name" -DVZ_PROGRAM_PATH=/x -DVZ_MANIFEST_FOLDERS=${VZ_WORK_DIR}/bad
          -P ${VZ_SOURCE_DIR}/write_native_host_manifest.cmake
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(result EQUAL 0 OR EXISTS "${VZ_WORK_DIR}/bad")
  message(FATAL_ERROR "a bad host name was accepted")
endif()

# The origins check the configure step makes: a malformed origin stops it
# with a message naming the origin, an empty list only warns, saying what to pass.
file(WRITE "${VZ_WORK_DIR}/origins.cmake" "include(${VZ_SOURCE_DIR}/native_host_origins.cmake)\nvz_check_allowed_origins(\"\${ORIGINS}\")\n")
foreach(bad "chrome-extension://abcdefghijklmnopabcdefghijklmno/" "chrome-extension://abcdefghijklmnopabcdefghijklmnoq/"
            "chrome-extension://abcdefghijklmnopabcdefghijklmnop" "https://example.org/"
            "chrome-extension://abcdefghijklmnopabcdefghijklmnop/;chrome-extension://ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP/")
  execute_process(COMMAND ${CMAKE_COMMAND} "-DORIGINS=${bad}" -P "${VZ_WORK_DIR}/origins.cmake"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "[ \n]+" " " err "${err}")  # cmake wraps its messages
  if(result EQUAL 0 OR NOT err MATCHES "is not of the form chrome-extension://<id>/ with an id of 32 letters a-p")
    message(FATAL_ERROR "the origin \"${bad}\" was accepted:\n${err}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} "-DORIGINS=${origins}" -P "${VZ_WORK_DIR}/origins.cmake"
                RESULT_VARIABLE result ERROR_VARIABLE err)
expect_equal("${result}" "0" "good origins were refused: ${err}")
execute_process(COMMAND ${CMAKE_COMMAND} "-DORIGINS=" -P "${VZ_WORK_DIR}/origins.cmake"
                RESULT_VARIABLE result ERROR_VARIABLE err)
expect_equal("${result}" "0" "an empty list of origins stopped the check")
string(REGEX REPLACE "[ \n]+" " " err "${err}")
if(NOT err MATCHES "-DVZ_BRIDGE_ALLOWED_ORIGINS=chrome-extension://")
  message(FATAL_ERROR "the warning for an empty list does not say what to pass:\n${err}")
endif()

# The install step of the vzbridge component, for a user whose config folder is in the work folder.
set(prefix "${VZ_WORK_DIR}/prefix")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=DESTDIR "XDG_CONFIG_HOME=${VZ_WORK_DIR}/config" "HOME=${VZ_WORK_DIR}/home"
          ${CMAKE_COMMAND} --install ${VZ_BUILD_DIR} --prefix ${prefix} --component vzbridge
  RESULT_VARIABLE result)
expect_equal("${result}" "0" "cmake --install failed")
foreach(file bin/vzbridge bin/libvzplatform.so bin/libvzplatform_download.so)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
# The installed host loads its own libraries from beside it, and none of the
# desktop's: no X11, cairo, pango, libcurl, libproxy or libudev.
execute_process(COMMAND ldd "${prefix}/bin/vzbridge" RESULT_VARIABLE result OUTPUT_VARIABLE loaded ERROR_VARIABLE loaded)
expect_equal("${result}" "0" "ldd of the installed vzbridge failed: ${loaded}")
if(NOT loaded MATCHES "libvzplatform.so => ${prefix}/bin/libvzplatform.so")
  message(FATAL_ERROR "the installed vzbridge does not load the platform library beside it:\n${loaded}")
endif()
foreach(heavy libX11 libcairo libpango libcurl libproxy libudev libvzplatform_desktop)
  if(loaded MATCHES "${heavy}")
    message(FATAL_ERROR "the installed vzbridge loads ${heavy}:\n${loaded}")
  endif()
endforeach()
foreach(browser chromium google-chrome)
  set(file "${VZ_WORK_DIR}/config/${browser}/NativeMessagingHosts/${VZ_HOST_NAME}.json")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "no manifest for ${browser}")
  endif()
  file(READ "${file}" manifest)
  string(JSON path GET "${manifest}" path)
  expect_equal("${path}" "${prefix}/bin/vzbridge" "program path in the ${browser} manifest")
  string(JSON type GET "${manifest}" type)
  expect_equal("${type}" "stdio" "type in the ${browser} manifest")
endforeach()
# A staged install (DESTDIR) with the folders and the origins given to the
# install step: the manifests land below DESTDIR, name the program where it
# will be installed, and allow the origins given.
set(stage "${VZ_WORK_DIR}/stage")
set(staged_origin "chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${stage}" "XDG_CONFIG_HOME=${VZ_WORK_DIR}/staged-config"
          "HOME=${VZ_WORK_DIR}/home" "VZ_BRIDGE_MANIFEST_FOLDERS=/etc/chromium/native-messaging-hosts"
          "VZ_BRIDGE_ALLOWED_ORIGINS=${staged_origin}"
          ${CMAKE_COMMAND} --install ${VZ_BUILD_DIR} --prefix /opt/velzar --component vzbridge
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
expect_equal("${result}" "0" "the staged install failed: ${out}")
set(file "${stage}/etc/chromium/native-messaging-hosts/${VZ_HOST_NAME}.json")
if(NOT EXISTS "${file}" OR NOT EXISTS "${stage}/opt/velzar/bin/vzbridge")
  message(FATAL_ERROR "the staged install placed no manifest or program below DESTDIR:\n${out}")
endif()
if(EXISTS "${VZ_WORK_DIR}/staged-config")
  message(FATAL_ERROR "the staged install wrote into the installing user's folders")
endif()
file(READ "${file}" manifest)
string(JSON path GET "${manifest}" path)
expect_equal("${path}" "/opt/velzar/bin/vzbridge" "program path in the staged manifest")
string(JSON origin GET "${manifest}" allowed_origins 0)
expect_equal("${origin}" "${staged_origin}" "the origin given to the install step")

# A malformed origin given to the install step stops it, naming the origin.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${VZ_WORK_DIR}/bad-stage" "VZ_BRIDGE_MANIFEST_FOLDERS=/etc/x"
          "VZ_BRIDGE_ALLOWED_ORIGINS=https://example.org/"
          ${CMAKE_COMMAND} --install ${VZ_BUILD_DIR} --prefix /opt/velzar --component vzbridge
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result EQUAL 0 OR NOT out MATCHES "https://example.org/")
  message(FATAL_ERROR "a malformed origin given to the install step was taken:\n${out}")
endif()

file(REMOVE_RECURSE "${VZ_WORK_DIR}")
