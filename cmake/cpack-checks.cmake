# Read by cpack for every package it makes: a Debian package is made only
# where its dependencies can be declared.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found: install dpkg-dev, so that the package "
                        "declares the libraries the tools need")
  endif()
endif()
