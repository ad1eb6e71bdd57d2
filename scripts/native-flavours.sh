# The native flavours of a library in the dependency cache, besides its Windows targets:
#   native       host gcc                                      (build/native)
#   native-asan  clang-16 -fsanitize=address,undefined         (build/native-asan)
#   native-fuzz  clang-16 -fsanitize=fuzzer-no-link,address,undefined (fuzz/)
# Sourced by hooks in setup.d. build_native_flavours FOLDER LIBRARY calls the hook's own
# `build OUT CC AR CFLAGS` for each flavour whose $DEPS/<flavour>/FOLDER/lib/LIBRARY is missing.
build_native_flavours() {
  local folder=$1 library=$2 flavour out
  local sanitize="-O1 -g -fno-omit-frame-pointer -fno-sanitize-recover=all"
  declare -A cc_of=([native]=gcc [native-asan]=clang-16 [native-fuzz]=clang-16)
  declare -A flags_of=(
    [native]="-O2"
    [native-asan]="$sanitize -fsanitize=address,undefined"
    [native-fuzz]="$sanitize -fsanitize=fuzzer-no-link,address,undefined"
  )
  for flavour in native native-asan native-fuzz; do
    out="$DEPS/$flavour/$folder"
    [[ -f "$out/lib/$library" ]] || build "$out" "${cc_of[$flavour]}" ar "${flags_of[$flavour]}"
  done
}
