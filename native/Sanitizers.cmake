# Included at the end of native/CMakeLists.txt.
#  - TinyXML for the file-list reading, built natively from Debian's source by
#    scripts/setup.sh (once plain, once with the sanitizers).
#  - The sanitizer configuration, build/native-asan: configured with
#    -DCMAKE_CXX_COMPILER=clang++-16 -DORNIVEL_SANITIZE=ON (scripts/test.sh does), everything,
#    TinyXML included, is built with AddressSanitizer and UndefinedBehaviorSanitizer, and any
#    report fails the tests.
option(ORNIVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer (clang-16)" OFF)

if(ORNIVEL_SANITIZE)
  set(_flavour native-asan)
  # The value in force at the end of this folder applies to all of its targets.
  string(APPEND CMAKE_CXX_FLAGS
    " -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1")
  set(CMAKE_CXX_FLAGS_RELEASE "")  # -O1 as above, and assertions stay
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=address,undefined")
  set(_environment UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-16/bin/llvm-symbolizer)
  set_property(TEST native_pure_logic APPEND PROPERTY ENVIRONMENT ${_environment}
    ASAN_OPTIONS=abort_on_error=1:detect_leaks=1)
  # LeakSanitizer cannot follow the Java VM's own threads at the end of the process; the
  # other checks stay on for the Java host.
  set_property(TEST real_jvm APPEND PROPERTY ENVIRONMENT ${_environment} ASAN_OPTIONS=abort_on_error=1:detect_leaks=0)
else()
  set(_flavour native)
endif()

ornivel_import_dependency(tinyxml "${ORNIVEL_DEPS}/${_flavour}/tinyxml" libtinyxml.a)
set_target_properties(tinyxml PROPERTIES INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)

target_link_libraries(ornivel_pure PUBLIC tinyxml)
