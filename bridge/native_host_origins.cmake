# vz_check_allowed_origins(<list>): the extension origins allowed to start
# vzbridge must each be "chrome-extension://<id>/" with an id of 32 letters
# a-p, or the browser ignores the whole manifest. A malformed origin stops
# with an error; an empty list warns, since no extension could start the host.
function(vz_check_allowed_origins origins)
  string(REPEAT "[a-p]" 32 id_pattern)
  foreach(origin IN LISTS origins)
    if(NOT origin MATCHES "^chrome-extension://${id_pattern}/$")
      message(FATAL_ERROR "vzbridge: the allowed origin \"${origin}\" in VZ_BRIDGE_ALLOWED_ORIGINS is not of the form "
                          "chrome-extension://<id>/ with an id of 32 letters a-p, such as "
                          "chrome-extension://abcdefghijklmnopabcdefghijklmnop/")
    endif()
  endforeach()
  if("${origins}" STREQUAL "")
    message(WARNING "vzbridge: no allowed origins, so no extension can start the host; pass the extension's origin "
                    "at configure time: -DVZ_BRIDGE_ALLOWED_ORIGINS=chrome-extension://<32-letter id>/ "
                    "(several separated by ;)")
  endif()
endfunction()
