# Delay-import libraries for the Windows libraries that are not among the system's known
# libraries (winhttp.dll, mpr.dll, crypt32.dll). Imported the ordinary way, such a library is
# looked for in the executable's own folder first, so a file of that name put into an
# installation folder would run inside the launcher. Imported through these libraries, it is
# loaded at its first use, and the executable's delay-load hook (launcher/SystemLibraries.cpp)
# loads it from the system folder only. Programs without that hook (the tests) load it the
# ordinary way at first use.
#
# ornivel_delay_import(VAR NAME) sets VAR to the path of lib<NAME>_delay.a, made at configure
# time from the toolchain's import library lib<NAME>.a.
include_guard(GLOBAL)

function(ornivel_delay_import var name)
  set(dir "${CMAKE_BINARY_DIR}/delay-imports")
  set(lib "${dir}/lib${name}_delay.a")
  if(NOT EXISTS "${lib}")
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
      OUTPUT_VARIABLE implib OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${implib}" OR NOT EXISTS "${implib}")
      message(FATAL_ERROR "import library lib${name}.a of the toolchain not found")
    endif()
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only "${implib}" OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${CMAKE_NM} could not read ${implib}")
    endif()
    # The import pointers name every function: __imp_F (x86_64), __imp__F@n (i686, stdcall).
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX MATCHALL "__imp__[A-Za-z0-9_@]+" pointers "${symbols}")
      list(TRANSFORM pointers REPLACE "^__imp__" "")
      set(kill_at --kill-at)
    else()
      string(REGEX MATCHALL "__imp_[A-Za-z0-9_@]+" pointers "${symbols}")
      list(TRANSFORM pointers REPLACE "^__imp_" "")
      set(kill_at)
    endif()
    list(REMOVE_DUPLICATES pointers)
    list(LENGTH pointers count)
    if(count EQUAL 0)
      message(FATAL_ERROR "no functions found in ${implib}")
    endif()
    list(JOIN pointers "\n" exports)
    file(WRITE "${dir}/${name}.def" "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def "${dir}/${name}.def"
      --output-delaylib "${lib}" --dllname ${name}.dll RESULT_VARIABLE failed)
    if(failed OR NOT EXISTS "${lib}")
      message(FATAL_ERROR "${CMAKE_DLLTOOL} could not make ${lib}")
    endif()
  endif()
  set(${var} "${lib}" PARENT_SCOPE)
endfunction()
