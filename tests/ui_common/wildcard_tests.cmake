# The wildcard matcher of the quick list search and the title/category rules.
vemo_add_qtest(tst_wildcard SOURCES tst_wildcard.cpp WildcardReference.h LIBS vemo_common)
vemo_add_qtest(tst_textrules SOURCES tst_textrules.cpp LIBS vemo_common)

# A libFuzzer target for the matcher, built only with clang and never run by CTest:
#   CXX=clang++ cmake -S . -B build-fuzz && cmake --build build-fuzz --target fuzz_wildcard
#   build-fuzz/bin/fuzz_wildcard -max_total_time=60
# The matcher's source is compiled into it so that it is instrumented too.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_wildcard fuzz_wildcard.cpp WildcardReference.h ${PROJECT_SOURCE_DIR}/src/ui_common/Wildcard.cpp)
  target_include_directories(fuzz_wildcard PRIVATE ${PROJECT_SOURCE_DIR}/src/ui_common)
  target_link_libraries(fuzz_wildcard PRIVATE Qt6::Core)
  target_compile_options(fuzz_wildcard PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(fuzz_wildcard PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
