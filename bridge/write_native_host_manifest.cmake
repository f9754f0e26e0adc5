# Writes the native-messaging host manifest "<VZ_HOST_NAME>.json" into each of
# VZ_MANIFEST_FOLDERS (default: the Chromium and Google Chrome per-user
# folders under $XDG_CONFIG_HOME, else ~/.config). Inputs: VZ_HOST_NAME,
# VZ_PROGRAM_PATH (absolute), VZ_ALLOWED_ORIGINS (a list), VZ_MANIFEST_FOLDERS.
# Run at install time, or alone with cmake -D... -P.
if(NOT VZ_HOST_NAME MATCHES "^[a-z0-9_]+(\\.[a-z0-9_]+)*$")
  message(FATAL_ERROR "vzbridge: \"${VZ_HOST_NAME}\" is not a native-messaging host name")
endif()
if(NOT IS_ABSOLUTE "${VZ_PROGRAM_PATH}")
  message(FATAL_ERROR "vzbridge: the host program path \"${VZ_PROGRAM_PATH}\" is not absolute")
endif()

if("${VZ_MANIFEST_FOLDERS}" STREQUAL "")
  if(DEFINED ENV{XDG_CONFIG_HOME} AND IS_ABSOLUTE "$ENV{XDG_CONFIG_HOME}")
    set(config_home "$ENV{XDG_CONFIG_HOME}")
  elseif(DEFINED ENV{HOME} AND IS_ABSOLUTE "$ENV{HOME}")
    set(config_home "$ENV{HOME}/.config")
  else()
    message(FATAL_ERROR "vzbridge: neither XDG_CONFIG_HOME nor HOME names a folder for the host manifests")
  endif()
  set(VZ_MANIFEST_FOLDERS "${config_home}/chromium/NativeMessagingHosts;${config_home}/google-chrome/NativeMessagingHosts")
endif()

function(vz_json_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/native_host_origins.cmake)
vz_check_allowed_origins("${VZ_ALLOWED_ORIGINS}")
set(origins "")
foreach(origin IN LISTS VZ_ALLOWED_ORIGINS)
  vz_json_string(quoted "${origin}")
  list(APPEND origins "${quoted}")
endforeach()
string(JOIN ", " origins_text ${origins})
vz_json_string(name_json "${VZ_HOST_NAME}")
vz_json_string(path_json "${VZ_PROGRAM_PATH}")
set(manifest "{
  \"name\": ${name_json},
  \"description\": \"VelzarHub native messaging host\",
  \"path\": ${path_json},
  \"type\": \"stdio\",
  \"allowed_origins\": [${origins_text}]
}
")

foreach(folder IN LISTS VZ_MANIFEST_FOLDERS)
  file(MAKE_DIRECTORY "${folder}")
  set(file "${folder}/${VZ_HOST_NAME}.json")
  file(WRITE "${file}" "${manifest}")
  file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS "vzbridge: host manifest ${file}")
endforeach()
