# How the shipped programs are made.

# Every program and library: no trace of the machine or the time of the build.
# The same sources give the same bytes in any build directory.
function(tolvanex_reproducible_build)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>")
  if(WIN32)
    # The linker would write the link time into the PE header.
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endfunction()

# tolvanex_lean_program(PROGRAM LIBRARY...)
# A program users download (setup.exe, uninstall.exe), built small in the
# product (MinSizeRel): no exception tables (nothing throws), one section per
# function and per datum, unused code dropped when linking, stripped, and the
# lean runtime in place of the C++ runtime's throwing parts. The options apply
# to the program and to every library named, which should be all of its own
# libraries.
function(tolvanex_lean_program program)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${program} PRIVATE $<TARGET_OBJECTS:tolvanex_lean_runtime>)
  if(NOT CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    return()
  endif()
  foreach(target ${program} ${ARGN})
    target_compile_options(${target} PRIVATE -ffunction-sections -fno-exceptions
                           -fno-rtti -fno-asynchronous-unwind-tables)
  endforeach()
  target_link_options(${program} PRIVATE -s -Wl,--gc-sections)
endfunction()
