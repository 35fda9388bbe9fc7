# shellcheck shell=bash
# Shared by the project's scripts, which source it: a command run as root, a
# bounded wait, one run's work folder removed at exit with the processes the
# script started, and a test rig's pass/fail tally.
#   . "$root/tools/lib.sh"

# as_root COMMAND...: runs the command as root, through sudo unless this is root already.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# machine_archive: the address of the Debian archive that this machine's own
# apt sources read its release (VERSION_CODENAME) from, so private
# configurations fetch from the mirror the machine is set to (a near one in
# China, say). Both source formats are read; an entry turned off is skipped.
# Ends the script, saying so, where the sources name none.
machine_archive() {
  local codename uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  uri=$(find /etc/apt/sources.list /etc/apt/sources.list.d -maxdepth 1 -type f \
          \( -name '*.list' -o -name '*.sources' \) 2>/dev/null | sort | xargs -r awk -v want="$codename" '
    function suite_match(list,   n, i, a) { n = split(list, a, " "); for (i = 1; i <= n; i++) if (a[i] == want) return 1; return 0 }
    function stanza_end() { if (types ~ /(^| )deb( |$)/ && enabled != "no" && suite_match(suites) && !found) { split(uris, u, " "); found = u[1] } types = uris = suites = enabled = "" }
    FNR == 1 { stanza_end() }
    FILENAME ~ /\.sources$/ {
      if ($0 ~ /^[ \t]*$/) { stanza_end(); next }
      if (tolower($1) == "types:") { $1 = ""; types = $0 }
      else if (tolower($1) == "uris:") { $1 = ""; uris = $0 }
      else if (tolower($1) == "suites:") { $1 = ""; suites = $0 }
      else if (tolower($1) == "enabled:") enabled = tolower($2)
      next
    }
    $1 == "deb" && !found {
      line = $0; sub(/^deb[ \t]+/, "", line); sub(/^\[[^]]*\][ \t]*/, "", line)
      split(line, f, /[ \t]+/); if (f[2] == want) found = f[1]
    }
    END { stanza_end(); print found }')
  [ -n "$uri" ] || die "this machine's apt sources (/etc/apt/sources.list, /etc/apt/sources.list.d) name no Debian archive for ${codename:-its release}; add the Debian mirror to use there"
  echo "${uri%/}"
}

# private_apt DIR TYPE SUITES [ARCH]: an apt configuration of DIR's own that
# reads Debian's SUITES (space-separated) of TYPE (deb or deb-src) from the
# archive the machine's own sources name, so the machine's apt set-up is
# neither changed nor bypassed; its options in the array apt_options, for
# apt-get and apt-cache.
private_apt() {
  local dir=$1 type=$2 suites=$3 arch=${4:-} archive
  archive=$(machine_archive)
  mkdir -p "$dir/lists/partial" "$dir/archives/partial" "$dir/sources.d" "$dir/preferences.d"
  {
    echo "Types: $type"
    echo "URIs: $archive"
    echo "Suites: $suites"
    echo "Components: main"
    [ -z "$arch" ] || echo "Architectures: $arch"
    echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  } >"$dir/sources.d/debian.sources"
  : >"$dir/sources.list"
  apt_options=(-o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=$dir/sources.d"
               -o "Dir::Etc::PreferencesParts=$dir/preferences.d" -o "Dir::State::Lists=$dir/lists"
               -o "Dir::Cache=$dir" -o "Dir::Cache::Archives=$dir/archives" -o Debug::NoLocking=1)
}

# apt_waiting COMMAND...: runs an apt command as root; while another package
# manager holds apt's or dpkg's lock (unattended-upgrades on a desktop, an
# install in another terminal), says once what it waits for and tries again
# every 5 s, for at most $apt_lock_wait seconds (600 unless set).
apt_waiting() {
  local said waited=0 told=""
  said=$(mktemp)
  while true; do
    if as_root "$@" 2>"$said"; then rm -f "$said"; return 0; fi
    if ! grep -qE 'Could not get lock|Unable to (acquire the dpkg frontend lock|lock)' "$said" \
       || [ "$waited" -ge "${apt_lock_wait:-600}" ]; then
      cat "$said" >&2
      rm -f "$said"
      return 1
    fi
    [ -n "$told" ] || echo "waiting (at most ${apt_lock_wait:-600} s) for the package manager's lock: $(grep -m1 -oE 'held by process [0-9]+ \([^)]*\)' "$said" || grep -m1 -oE 'lock [^ ]+' "$said")" >&2
    told=yes
    sleep 5
    waited=$((waited + 5))
  done
}

# refresh_package_lists: apt-get update, tried three times a minute apart: a
# mirror in the middle of a sync serves lists that do not match for a while.
refresh_package_lists() {
  local try
  for try in 1 2 3; do
    apt_waiting apt-get update -qq && return 0
    [ "$try" -eq 3 ] || { echo "apt-get update failed; trying again in 60 s" >&2; sleep 60; }
  done
  return 1
}

# tell_where_stopped NAME: a command that fails and so ends the script
# (set -e) says on standard error which line and command it was.
tell_where_stopped() {
  # shellcheck disable=SC2064
  trap "echo \"$1: stopped at line \$LINENO (exit \$?): \$BASH_COMMAND\" >&2" ERR
}

# die MESSAGE...: says why on standard error and ends the script.
die() {
  echo "$*" >&2
  exit 1
}

# await TENTHS TEST...: runs TEST each tenth of a second until it holds, at
# most TENTHS times; false when it never held.
await() {
  local tries=$1
  shift
  for _ in $(seq 1 "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# bounded SECONDS COMMAND...: runs the command, ended with a message on
# standard error when it runs longer; its exit status (124 when it was ended).
bounded() {
  local seconds=$1 status=0
  shift
  timeout "$seconds" "$@" || status=$?
  [ "$status" -ne 124 ] || echo "$* still ran after $seconds s, and was ended" >&2
  return "$status"
}

# stopped PID: the process has ended (the shell reaps its own children as they end).
stopped() { ! kill -0 "$1" 2>/dev/null; }

# ---- One run's work folder and processes, cleaned up at exit ----------------------
started_pids=()
exit_hooks=()
keep_work=""

# start_work [keep]: a fresh folder in $work. At the script's exit, also on
# Ctrl-C or TERM, its exit hooks run, the processes it started end and the
# folder goes, unless asked to keep it for a look after a failure.
start_work() {
  work=$(mktemp -d)
  keep_work=${1:-}
  [ -z "$keep_work" ] || echo "keeping $work"
  trap clean_up EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# started PID...: processes this script started, ended by their ids at exit.
started() { started_pids+=("$@"); }

# at_exit FUNCTION: run at exit, before the processes end.
at_exit() { exit_hooks+=("$1"); }

# end_processes PID...: ends them by their ids: TERM, then KILL for any still
# running five seconds later.
end_processes() {
  local pid
  for pid in "$@"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "$@"; do
    await 50 stopped "$pid" || kill -KILL "$pid" 2>/dev/null || true
  done
}

# clean_up: what the exit does; a script that starts itself again calls it first.
clean_up() {
  local hook
  for hook in "${exit_hooks[@]}"; do "$hook" || true; done
  end_processes "${started_pids[@]}"
  [ -n "$keep_work" ] || rm -rf "$work"
}

# ---- A test rig's tally: one line per check, then the totals ----------------------
passed=0
failed=0

# check NAME COMMAND...: runs the command, traced unless $trace_checks is
# "no", with its output in $logs/NAME.log ($logs is the work folder unless
# set), and prints PASS, or FAIL with the log's last lines.
check() {
  local name=$1 log="${logs:-$work}/$1.log"
  shift
  if (if [ "${trace_checks:-yes}" != no ]; then set -x; fi; "$@") >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "PASS  $name"
  else
    failed=$((failed + 1))
    echo "FAIL  $name"
    tail -n 15 "$log" | sed 's/^/      /'
  fi
}

# tally RIG: prints the totals; false when any check failed.
tally() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
