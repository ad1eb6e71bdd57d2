# ORNIVEL_DEPS: the folder where scripts/setup.sh builds the dependencies from Debian's sources
# (TinyXML, GoogleTest, libarchive, libsodium), per target. $ORNIVEL_DEPS or ~/.cache/ornivel-deps.
if(DEFINED ENV{ORNIVEL_DEPS})
  set(_deps_default "$ENV{ORNIVEL_DEPS}")
else()
  set(_deps_default "$ENV{HOME}/.cache/ornivel-deps")
endif()
set(ORNIVEL_DEPS "${_deps_default}" CACHE PATH "Dependency cache made by scripts/setup.sh")
