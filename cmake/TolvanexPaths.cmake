# Test programs built for Windows run under Wine, where the host's file system
# is drive Z:. Paths baked into them must be in that form.
function(tolvanex_program_path out path)
  if(WIN32)
    string(REPLACE "/" "\\" win "${path}")
    set(${out} "Z:${win}" PARENT_SCOPE)
  else()
    set(${out} "${path}" PARENT_SCOPE)
  endif()
endfunction()
