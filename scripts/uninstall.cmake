# Removes what `cmake --install` of a build tree put in place, as CMake's
# install manifest lists it:
#   cmake -DMANIFEST=BUILD/install_manifest.txt -P uninstall.cmake
# The manifest leaves DESTDIR out, so the install notes it beside the
# manifest, and the files are removed under that DESTDIR; a DESTDIR given in
# the environment that differs is refused rather than followed, so that the
# files of another install are never taken for these.
#
# A folder is removed once empty only when it is Larkspur's own (named
# larkspur) or a host's folder that holds nothing but savers' files
# (XScreenSaver's settings descriptions, MATE's screensaver entries); the
# prefix's standard folders (bin, share/man/man6, share/applications,
# lib/systemd/user ...) stay, even when empty, since other programs share
# them. Fails, naming them, when files could not be removed; the manifest is
# removed once everything it lists is gone.
if(NOT MANIFEST)
  message(FATAL_ERROR "uninstall: give the install manifest: cmake -DMANIFEST=BUILD/install_manifest.txt -P uninstall.cmake")
endif()
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "uninstall: there is no ${MANIFEST}: nothing is installed from this build tree")
endif()

# DESTDIRs are compared as whole paths; an install that noted none (made
# before installs noted it) is taken to have had the one given.
set(given "$ENV{DESTDIR}")
if(NOT given STREQUAL "")
  get_filename_component(given "${given}" ABSOLUTE)
endif()
string(REGEX REPLACE "\\.txt$" ".destdir" noted "${MANIFEST}")
set(destdir "${given}")
if(EXISTS "${noted}")
  file(READ "${noted}" destdir)
endif()
if(NOT given STREQUAL "" AND NOT given STREQUAL destdir)
  message(FATAL_ERROR "uninstall: these files were installed with DESTDIR='${destdir}', not '${given}'; "
                      "give that DESTDIR, or none")
endif()

file(STRINGS "${MANIFEST}" files)
set(kept "")
foreach(file IN LISTS files)
  set(path "${destdir}${file}")
  if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
    # Something else put a folder there since; it is not ours to remove.
    list(APPEND kept "${path} (now a folder)")
  elseif(EXISTS "${path}" OR IS_SYMLINK "${path}")
    file(REMOVE "${path}")
    if(EXISTS "${path}" OR IS_SYMLINK "${path}")
      list(APPEND kept "${path}")
    else()
      message(STATUS "Removed: ${path}")
    endif()
  else()
    message(STATUS "Already gone: ${path}")
  endif()
  # Up from the file's folder, while the folders are of those kinds and
  # empty (rmdir removes none that is not).
  get_filename_component(folder "${path}" DIRECTORY)
  while(folder MATCHES "/larkspur$|/share/xscreensaver/config$|/share/xscreensaver$|/share/applications/screensavers$")
    execute_process(COMMAND rmdir "${folder}" RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(NOT status EQUAL 0)
      break()
    endif()
    message(STATUS "Removed: ${folder}/")
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
endforeach()

if(kept)
  list(JOIN kept "\n  " kept)
  message(FATAL_ERROR "uninstall: these could not be removed:\n  ${kept}")
endif()
file(REMOVE "${MANIFEST}" "${noted}")
