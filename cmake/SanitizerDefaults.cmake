# With the sanitizers on (QUORVANE_SANITIZE or QUORVANE_FUZZ), every program, test and fuzz
# target gets the sanitizers' default options and the LeakSanitizer suppressions of
# scripts/lsan.supp compiled in. ctest, the test listing gtest_discover_tests runs at build
# time, child processes the tests start and a program started by hand all run with the same
# settings, without anything to export first. LSAN_OPTIONS / ASAN_OPTIONS in the environment
# still override them.
set(QUORVANE_LSAN_SUPPRESSIONS_FILE ${PROJECT_SOURCE_DIR}/scripts/lsan.supp)
file(READ ${QUORVANE_LSAN_SUPPRESSIONS_FILE} QUORVANE_LSAN_SUPPRESSIONS)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${QUORVANE_LSAN_SUPPRESSIONS_FILE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp.in
               ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp @ONLY)

add_library(quorvane_sanitizer_defaults OBJECT ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp)
# Every target made after this line links the object above. Static libraries get a copy in
# their archive too; the linker never pulls it from there because each executable has it
# already.
link_libraries(quorvane_sanitizer_defaults)
