# The script loader, placeholders and the profile-file module are compiled
# into the fuzzer itself so that they carry the coverage instrumentation.
tolvanex_add_fuzzer(setup_script_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setup_script_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/script/setup_script.cpp
                            ${PROJECT_SOURCE_DIR}/script/placeholders.cpp
                            ${PROJECT_SOURCE_DIR}/script/placeholders_posix.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/ini_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_service_posix.cpp
                    LIBS tolvanex_constant_names tolvanex_text SECONDS 30)
target_include_directories(setup_script_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
