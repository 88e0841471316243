# The script reader and the checks are compiled into the fuzzer itself so
# that they carry the coverage instrumentation.
file(GLOB check_families ${PROJECT_SOURCE_DIR}/tools/builder/checks/*.cpp)
tolvanex_add_fuzzer(script_checks_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/script_checks_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/script_document.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/script_checks.cpp
                            ${check_families}
                            ${PROJECT_SOURCE_DIR}/tools/builder/program_architecture.cpp
                    LIBS tolvanex_script tolvanex_constant_names tolvanex_ini tolvanex_text
                    SECONDS 30)
target_include_directories(script_checks_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
