# inspect and the payload reader beneath it are compiled into the fuzzer
# itself so that they carry the coverage instrumentation.
tolvanex_add_fuzzer(inspect_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/inspect_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/inspect_command.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/build_sources.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/temporary_output.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/terminal_text.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/program_architecture.cpp
                    LIBS tolvanex_archive tolvanex_script tolvanex_ini tolvanex_constant_names
                         tolvanex_log_format tolvanex_script_document tolvanex_files tolvanex_text
                         tolvanex_wizard_flow
                    SECONDS 30)
target_include_directories(inspect_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(inspect_fuzz PRIVATE Threads::Threads)
