# Run by CPack on the staged files of the .deb: strip's plain run leaves the compilers'
# .comment section, which Debian's own packages drop (dh_strip) and lintian points out.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(COMMAND objcopy --remove-section=.comment ${program} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objcopy could not drop .comment from ${program}")
  endif()
endforeach()
