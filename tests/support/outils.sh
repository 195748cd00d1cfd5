# Helpers of the shell tests, sourced by them.

# Starts the loopback HTTP server of the tests on DIR for LIFE seconds, in
# the background; sets serveur (its process) and adresse (its base address).
serveur_http() { # DIR LIFE
  local port
  port=$(mktemp)
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/serveur_http.py" --dossier "$1" --vie "$2" >"$port" &
  serveur=$!
  for _ in $(seq 100); do
    grep -q '^PORT ' "$port" 2>/dev/null && break
    sleep 0.1
  done
  adresse="http://127.0.0.1:$(sed -n 's/^PORT //p' "$port")"
  rm -f "$port"
}

# Whether /proc can be mounted here, as debootstrap, piuparts and a booted
# root need (not in an unprivileged container).
proc_montable() {
  local essai
  essai=$(mktemp -d)
  if mount -t proc proc "$essai" 2>/dev/null; then
    umount "$essai"
    rmdir "$essai"
    return 0
  fi
  rmdir "$essai"
  return 1
}
