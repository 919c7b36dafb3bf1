# Installs the build folder BUILD into a temporary DESTDIR, as a package build does, and
# compares the files put there with what a user of the programs needs.
set(root ${BUILD}/install-check)
file(REMOVE_RECURSE ${root})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
  RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
file(GLOB_RECURSE installed RELATIVE ${root} ${root}/*)
list(SORT installed)
set(expected
  usr/bin/numtrail
  usr/bin/numtrail-crypt
  usr/bin/numtrail-data
  usr/bin/numtrail-lookup
  usr/bin/numtrail-service
  usr/libexec/numtrail/numtrail-lookup-online
  usr/share/applications/numtrail.desktop
  usr/share/icons/hicolor/scalable/apps/numtrail.svg
  usr/share/man/man1/numtrail-crypt.1
  usr/share/man/man1/numtrail-data.1
  usr/share/man/man1/numtrail-lookup.1
  usr/share/man/man1/numtrail-service.1
  usr/share/man/man1/numtrail.1
  usr/share/numtrail/help/forum.html
  usr/share/numtrail/help/resources.html)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed "${installed}")
  message(FATAL_ERROR "installed:\n  ${installed}")
endif()
file(STRINGS ${root}/usr/share/applications/numtrail.desktop name REGEX "^Name=" ENCODING UTF-8)
if(NOT name STREQUAL "Name=号码归属地查询")
  message(FATAL_ERROR "the desktop entry reads ${name}")
endif()
file(REMOVE_RECURSE ${root})
