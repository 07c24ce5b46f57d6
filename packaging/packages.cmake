# Read by CPack once for each package it makes: the archive gets links at its
# top to the programs in bin/ (see the install rule in CMakeLists.txt beside
# this file); the Debian package, installed under /usr, does not.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(ENV{KELVANE12_ARCHIVE_LAYOUT} 1)
else()
  unset(ENV{KELVANE12_ARCHIVE_LAYOUT})
endif()
