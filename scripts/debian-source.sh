# Sourced by scripts/setup.sh and its hooks (setup.d/): fetching and unpacking Debian source
# packages into the dependency cache, with clear errors and nothing half unpacked left behind.

# debian_source NAME [PREPARE-COMMAND...]: prints $DEPS/src/NAME, Debian's source of NAME with
# Debian's patches applied. The source is unpacked aside and takes its name only when it is
# whole (and PREPARE-COMMAND, run inside it, has succeeded), so a failed or interrupted run
# leaves no source that a later run would take for a good one. Stops the script with a message
# naming the package and what failed.
debian_source() {
  local name=$1; shift
  local dir="$DEPS/src/$name" work="$DEPS/src/$name.dl" note="$DEPS/src/$name.log"
  if [[ -f "$dir/.unpacked" ]]; then
    echo "$dir"
    return 0
  fi
  printf '[setup] fetching Debian'"'"'s %s source\n' "$name" >&2
  rm -rf "$dir" "$work" && mkdir -p "$work"
  if ! (cd "$work" && apt-get source --download-only "$name") >"$note" 2>&1; then
    rm -rf "$work"
    printf '[setup] error: could not fetch the Debian source package "%s" (apt-get source; is a deb-src entry for bookworm reachable?):\n' "$name" >&2
    tail -n 5 "$note" >&2
    return 1
  fi
  if ! (cd "$work" && dpkg-source -x ./*.dsc "$work/tree") >"$note" 2>&1; then
    rm -rf "$work"
    printf '[setup] error: could not unpack the Debian source package "%s" (dpkg-source -x):\n' "$name" >&2
    tail -n 5 "$note" >&2
    return 1
  fi
  if (($#)) && ! (cd "$work/tree" && "$@") >"$note" 2>&1; then
    rm -rf "$work"
    printf '[setup] error: could not prepare the source of "%s" (%s):\n' "$name" "$*" >&2
    tail -n 5 "$note" >&2
    return 1
  fi
  touch "$work/tree/.unpacked"
  mv "$work/tree" "$dir"
  rm -rf "$work" "$note"
  echo "$dir"
}
