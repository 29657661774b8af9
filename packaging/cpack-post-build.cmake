# Run by cpack after each generator has made its package, before the package is copied to the package folder.
# CPack's ar writer gives the Debian package's members the modes of its temporary files, which the umask chose;
# strip-nondeterminism's ar handler (off by default, as binutils' ar needs it no more) gives them what dpkg-deb
# writes: owner 0, mode 644, dated SOURCE_DATE_EPOCH. CPack's zip writer notes the owner of each member, who
# is whoever built it; strip-nondeterminism's zip handler makes that 0.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    set(type --normalizers=+ar --type ar)
  elseif(package MATCHES "\\.zip$")
    set(type --type zip)
  else()
    continue()
  endif()
  execute_process(COMMAND ${TESSEL_STRIP_NONDETERMINISM} ${type} --timestamp $ENV{SOURCE_DATE_EPOCH} ${package}
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip-nondeterminism ${package}: ${error}")
  endif()
endforeach()
# The release files that the build makes without cpack, the MSIs and the three pages, beside the others.
foreach(file IN LISTS TESSEL_RELEASE_EXTRAS)
  file(COPY ${file} DESTINATION ${CPACK_PACKAGE_DIRECTORY})
endforeach()
