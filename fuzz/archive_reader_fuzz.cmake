# The reader is compiled into the fuzzer itself so that it carries the
# coverage instrumentation libFuzzer steers by.
tolvanex_add_fuzzer(archive_reader_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/archive_reader_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/archive/archive_reader.cpp
                            ${PROJECT_SOURCE_DIR}/archive/lzma_entry.cpp
                            ${PROJECT_SOURCE_DIR}/archive/reader_methods.cpp
                            ${TOLVANEX_LZMA_SOURCES}/LzmaDec.c
                            ${PROJECT_SOURCE_DIR}/archive/file_system_posix.cpp
                    LIBS ZLIB::ZLIB SECONDS 30)
target_include_directories(archive_reader_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
target_include_directories(archive_reader_fuzz SYSTEM PRIVATE ${TOLVANEX_LZMA_SOURCES})
set_source_files_properties(${TOLVANEX_LZMA_SOURCES}/LzmaDec.c PROPERTIES COMPILE_OPTIONS
                            "${TOLVANEX_LZMA_SANITIZE_EXEMPTION}")
