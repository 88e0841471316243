# Under Wine the shell finds notepad.exe in the system directory before any
# other: the finish-page test puts the stand-in there for its run and puts the
# original back afterwards.
#   cmake -DMODE=install|restore -DSTANDIN=path/notepad.exe -P standin_notepad.cmake
set(prefix "$ENV{WINEPREFIX}")
if(prefix STREQUAL "")
  get_filename_component(prefix "${CMAKE_CURRENT_LIST_DIR}/../../build/wineprefix" ABSOLUTE)
endif()
set(notepad "${prefix}/drive_c/windows/system32/notepad.exe")
set(original "${notepad}.tolvanex-original")
if(NOT EXISTS "${notepad}")
  # A prefix is made on its first use.
  execute_process(COMMAND "${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run" cmd /c exit
                  OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT EXISTS "${notepad}")
  message(FATAL_ERROR "no Wine prefix with ${notepad}")
endif()
if(MODE STREQUAL "install")
  if(NOT EXISTS "${original}")
    file(RENAME "${notepad}" "${original}")
  endif()
  file(COPY_FILE "${STANDIN}" "${notepad}")
elseif(MODE STREQUAL "restore" AND EXISTS "${original}")
  file(RENAME "${original}" "${notepad}")
endif()
