# ORNIVEL_DEPS: the folder where scripts/setup.sh builds the dependencies from Debian's sources
# (TinyXML, GoogleTest, libarchive, libsodium, zstd, zlib), per target. $ORNIVEL_DEPS or ~/.cache/ornivel-deps.
if(DEFINED ENV{ORNIVEL_DEPS})
  set(_deps_default "$ENV{ORNIVEL_DEPS}")
else()
  set(_deps_default "$ENV{HOME}/.cache/ornivel-deps")
endif()
set(ORNIVEL_DEPS "${_deps_default}" CACHE PATH "Dependency cache made by scripts/setup.sh")

# ornivel_import_dependency(TARGET FOLDER LIBRARY): FOLDER/lib/LIBRARY with the headers in
# FOLDER/include as the imported target TARGET. A missing library stops the configuration.
function(ornivel_import_dependency target folder library)
  if(NOT EXISTS "${folder}/lib/${library}")
    message(FATAL_ERROR "${library} missing in ${folder}: run scripts/setup.sh")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${folder}/lib/${library}"
    INTERFACE_INCLUDE_DIRECTORIES "${folder}/include")
endfunction()
