# Makes or removes the isolated tests' runtime folders under ROOT.
#   ACTION=make: ROOT and one folder per name in the file NAMES, each mode 0700;
#   ACTION=remove: ROOT and everything in it.
# Two test runs of one build folder at the same time share ROOT, and the
# first to end removes it: run them one after the other.
if(NOT ROOT MATCHES "^/tmp/vzt-[0-9a-f]+$")
  message(FATAL_ERROR "runtime_folders: refusing to work on \"${ROOT}\"")
endif()
if(ACTION STREQUAL "remove")
  file(REMOVE_RECURSE "${ROOT}")
  return()
endif()
file(STRINGS "${NAMES}" names)
file(MAKE_DIRECTORY "${ROOT}")
file(CHMOD "${ROOT}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
foreach(name IN LISTS names)
  file(MAKE_DIRECTORY "${ROOT}/${name}")
  file(CHMOD "${ROOT}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
