# The module and IniFile are compiled into the fuzzer itself so that they
# carry the coverage instrumentation libFuzzer steers by.
tolvanex_add_fuzzer(profile_file_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/profile_file_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/ini_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_service_posix.cpp
                    LIBS tolvanex_text SECONDS 30)
target_include_directories(profile_file_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
