tolvanex_add_fuzzer(pe_certificate_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pe_certificate_fuzz.cpp
                            ${PROJECT_SOURCE_DIR}/tools/builder/pe_certificate.cpp
                    SECONDS 30)
target_include_directories(pe_certificate_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
