# Sourced by the benchmark scripts: nginx in the foreground with the configuration in a
# folder of its own, unprivileged ("nobody" when run as root), as the tests run it.

# start_nginx FOLDER OUTPUT: starts nginx with FOLDER/nginx.conf, its output to OUTPUT;
# sets NGINX to its process id.
start_nginx() {
  local folder=$1 output=$2
  local run=(nginx -p "$folder" -c "$folder/nginx.conf" -g 'daemon off;')
  if [[ $EUID -eq 0 ]]; then
    chown -R nobody "$folder"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- "${run[@]}")
  fi
  "${run[@]}" </dev/null >"$output" 2>&1 &
  NGINX=$!
}
