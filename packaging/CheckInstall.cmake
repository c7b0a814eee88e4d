# The check of `cmake --install`, run by CTest (test "install_tree"):
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -P CheckInstall.cmake
# Installs the build into WORK_DIR/root with the prefix /usr, as the Debian package does, and
# checks that every file a desktop installation needs is there, that the menu entry and the
# AppStream description validate (appstreamcli without network: the screenshot's address is not
# fetched), that the manual pages format without warnings and that the installed ostrel-cli runs.
set(root ${WORK_DIR}/root)
file(REMOVE_RECURSE ${root})
set(ENV{DESTDIR} ${root})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(expected
  usr/bin/ostrel
  usr/bin/ostrel-cli
  usr/libexec/ostrel/ostrel-cli-gui
  usr/share/applications/com.tarnwick.ostrel.desktop
  usr/share/metainfo/com.tarnwick.ostrel.metainfo.xml
  usr/share/man/man1/ostrel.1.gz
  usr/share/man/man1/ostrel-cli.1.gz
  usr/share/bash-completion/completions/ostrel-cli
  usr/share/doc/ostrel/copyright
  usr/share/doc/ostrel/changelog.gz
  usr/share/lintian/overrides/ostrel)
foreach(size 16 22 24 32 48 64 128 256 512)
  list(APPEND expected usr/share/icons/hicolor/${size}x${size}/apps/ostrel.png)
endforeach()
set(problems "")
foreach(path ${expected})
  if(NOT EXISTS ${root}/${path})
    string(APPEND problems "\n  missing: /${path}")
  endif()
endforeach()
# Nothing else: whatever the build installs is on this list (a file that should not ship, or a
# new one the list and the package should know of, shows here).
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
foreach(path ${installed})
  list(FIND expected ${path} found)
  if(found EQUAL -1)
    string(APPEND problems "\n  not expected: /${path}")
  endif()
endforeach()

# A checker fails by its status or by a finding it prints; a program of ours by its status only
# (its help speaks of "standard error").
function(check name)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0 OR output MATCHES "(warning|error|E:|W:)")
    set(problems "${problems}\n  ${name}: status ${status}\n${output}" PARENT_SCOPE)
  endif()
endfunction()
function(check_runs name)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    set(problems "${problems}\n  ${name}: status ${status}\n${output}" PARENT_SCOPE)
  endif()
endfunction()
set(share ${root}/usr/share)
check(desktop-file-validate desktop-file-validate ${share}/applications/com.tarnwick.ostrel.desktop)
check(appstreamcli appstreamcli validate --no-net --pedantic ${share}/metainfo/com.tarnwick.ostrel.metainfo.xml)
foreach(page ostrel ostrel-cli)
  # Only the warnings count: the formatted page goes nowhere.
  check(${page}.1 sh -c "man --warnings -E UTF-8 -l -Tutf8 -Z ${share}/man/man1/${page}.1.gz > /dev/null")
endforeach()
check(bash-completion bash -n ${share}/bash-completion/completions/ostrel-cli)
check_runs(ostrel-cli ${root}/usr/bin/ostrel-cli help)
# A command of ostrel-cli-gui, found by the installed ostrel-cli in the program's private folder.
check_runs(ostrel-cli-gui ${root}/usr/bin/ostrel-cli help plot)

if(problems)
  message(FATAL_ERROR "The installation into ${root} is not right:${problems}")
endif()
message(STATUS "Installed into ${root}: every file there, menu entry, description and manual pages valid")
