# The uninstaller's rules and the profile-file module are compiled into the
# fuzzer itself so that they carry the coverage instrumentation.
tolvanex_add_fuzzer(removal_plan_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/removal_plan_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/uninstall/removal_plan.cpp
                            ${PROJECT_SOURCE_DIR}/uninstall/path_rules.cpp
                            ${PROJECT_SOURCE_DIR}/uninstall/removal_run.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/ini_file.cpp
                            ${PROJECT_SOURCE_DIR}/script/profile_service_posix.cpp
                    LIBS tolvanex_log_format tolvanex_constant_names tolvanex_text SECONDS 30)
target_include_directories(removal_plan_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
