# build's generation of setup.ini and its reading back, with the builder's
# modules compiled into the fuzzer for their coverage.
tolvanex_add_fuzzer(build_generation_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/build_generation_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/setup_script_generation.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/build_sources.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/script_document.cpp
                            ${PROJECT_SOURCE_DIR}/script/setup_script.cpp
                            ${PROJECT_SOURCE_DIR}/script/placeholders.cpp
                            ${PROJECT_SOURCE_DIR}/script/placeholders_posix.cpp
                    LIBS tolvanex_ini tolvanex_text SECONDS 30)
target_include_directories(build_generation_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
