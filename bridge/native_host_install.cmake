# Installing vzbridge: the program with the platform library beside it, and
# the native-messaging host manifest for Chromium and Google Chrome in the
# installing user's per-user NativeMessagingHosts folders, naming the
# installed program and the extension origins allowed to start it. The
# origins and the folders are set at configure time, or given to the install
# step in the environment (VZ_BRIDGE_ALLOWED_ORIGINS, VZ_BRIDGE_MANIFEST_FOLDERS);
# with DESTDIR, the manifests are written only into folders given that way,
# below DESTDIR.
set(VZ_BRIDGE_HOST_NAME "com.velzar.meet.host" CACHE STRING
    "The native-messaging host name the extension connects to")
set(VZ_BRIDGE_ALLOWED_ORIGINS "" CACHE STRING
    "Extension origins allowed to start vzbridge (chrome-extension://<id>/), separated by ;")
set(VZ_BRIDGE_MANIFEST_FOLDERS "" CACHE STRING
    "Folders for the host manifest, separated by ;; empty: the installing user's Chromium and Chrome folders")

include(${CMAKE_CURRENT_LIST_DIR}/native_host_origins.cmake)
vz_check_allowed_origins("${VZ_BRIDGE_ALLOWED_ORIGINS}")

install(TARGETS vzbridge RUNTIME DESTINATION bin COMPONENT vzbridge)
install(TARGETS vzplatform_runtime vzplatform_download LIBRARY DESTINATION bin COMPONENT vzbridge)
install(CODE "
  set(VZ_HOST_NAME \"${VZ_BRIDGE_HOST_NAME}\")
  set(VZ_ALLOWED_ORIGINS \"${VZ_BRIDGE_ALLOWED_ORIGINS}\")
  set(VZ_MANIFEST_FOLDERS \"${VZ_BRIDGE_MANIFEST_FOLDERS}\")
  # The origins and the folders may also be given to the install step itself.
  if(DEFINED ENV{VZ_BRIDGE_ALLOWED_ORIGINS})
    set(VZ_ALLOWED_ORIGINS \"\$ENV{VZ_BRIDGE_ALLOWED_ORIGINS}\")
  endif()
  if(DEFINED ENV{VZ_BRIDGE_MANIFEST_FOLDERS})
    set(VZ_MANIFEST_FOLDERS \"\$ENV{VZ_BRIDGE_MANIFEST_FOLDERS}\")
  endif()
  set(VZ_PROGRAM_PATH \"\${CMAKE_INSTALL_PREFIX}/bin/vzbridge\")
  if(DEFINED ENV{DESTDIR} AND NOT \"\$ENV{DESTDIR}\" STREQUAL \"\")
    if(VZ_MANIFEST_FOLDERS STREQUAL \"\")
      message(STATUS \"vzbridge: DESTDIR is set and no manifest folders are given; the per-user host manifests are left to the package's own install\")
    else()
      # A staged install: the manifests go below DESTDIR and name the program where it will be installed.
      set(staged \"\")
      foreach(folder IN LISTS VZ_MANIFEST_FOLDERS)
        if(NOT IS_ABSOLUTE \"\${folder}\")
          message(FATAL_ERROR \"vzbridge: the manifest folder \\\"\${folder}\\\" is not absolute\")
        endif()
        list(APPEND staged \"\$ENV{DESTDIR}\${folder}\")
      endforeach()
      set(VZ_MANIFEST_FOLDERS \"\${staged}\")
      include(\"${CMAKE_CURRENT_SOURCE_DIR}/write_native_host_manifest.cmake\")
    endif()
  else()
    include(\"${CMAKE_CURRENT_SOURCE_DIR}/write_native_host_manifest.cmake\")
  endif()
" COMPONENT vzbridge)

# vz_install_program_version(<target> [COMPONENT <component>]): writes
# "<program>.version" into bin/ beside the installed program, holding the
# project version as "a.b.c.d", which is how the host reads an installed
# program's version without running it. The component defaults to the
# target's name.
function(vz_install_program_version target)
  cmake_parse_arguments(V "" "COMPONENT" "" ${ARGN})
  if(NOT V_COMPONENT)
    set(V_COMPONENT ${target})
  endif()
  set(version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  install(CODE "file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:${target}>.version\" \"${version}\\n\")"
          COMPONENT ${V_COMPONENT})
endfunction()

# The host's own version file, the same way as the client's.
vz_install_program_version(vzbridge)
