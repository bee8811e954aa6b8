#!/usr/bin/env bash
# Plants single faults in a scratch copy of the source, one at a time, builds
# the test programs that cover the faulty file, runs them and tells whether
# any of them caught the fault. A fault that survives shows a missing test.
#
# Usage: scripts/mutants.sh [LIST]          (default: scripts/mutants.txt)
#
# A line of the list:   FILE: PATTERN => REPLACEMENT
#   FILE is relative to the top of the source; PATTERN is literal text that
#   must occur exactly once in FILE; REPLACEMENT takes its place (nothing
#   after "=> " deletes it). Blank lines and lines starting with # are skipped.
#
# The scratch copy and its build live in build-mutants/ (MUTANTS_DIR to move
# it) and are kept between runs, so only what a fault touches is rebuilt;
# ccache serves the recompiles of the restored files. JOBS (default 1) is
# the build's parallelism.
# Exit status: 0 when every fault was caught, 1 otherwise, 2 usage.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
list=${1:-$top/scripts/mutants.txt}
scratch=${MUTANTS_DIR:-$top/build-mutants}
src=$scratch/src
build=$src/build
jobs=${JOBS:-1}
[ -f "$list" ] || { echo "mutants: no list $list" >&2; exit 2; }
export CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=1 QT_QPA_PLATFORM=offscreen

# The test programs that exercise a file, the quickest to fail first: a
# program that catches the fault ends the run of the others. Reply timing
# in the port layer also goes to the network, fault-sweep and latency tests,
# a page's writes to the fault sweep, its tables to the table tests.
tests_for() {
  case $1 in
    link/port_walk* | pages/comm/*) echo test_comm ;;
    link/tcp_connect*) echo test_network ;;
    link/link_posix.cpp | link/link.h) echo test_replies test_integration test_network test_faults test_latency ;;
    link/*) echo test_integration test_replies ;;
    protocol/firmware_packets*) echo test_firmware ;;
    protocol/text_codec*) echo test_unit test_replies ;;
    protocol/*) echo test_unit test_settings ;;
    pages/core/ip_text*) echo test_gui ;;  # the address field's own tests
    pages/core/*) echo test_unit test_settings test_wifi test_gui ;;
    pages/backup/*) echo test_cli test_gui ;;
    pages/settings/settings_tables*) echo test_unit test_settings ;;
    pages/wifi/*.h | pages/bluetooth/*.h) local p=${1#pages/}; echo "test_unit test_${p%%/*}" ;;
    pages/test/*) echo test_unit test_test test_faults ;;
    pages/*/*) local page=${1#pages/}; echo "test_${page%%/*} test_faults" ;;
    resources/*) echo test_unit ;;
    cli/*) echo test_cli ;;
    sim/*) echo test_unit test_firmware ;;
    app/demo_main.cpp) echo test_demo ;;
    app/*) echo test_gui test_demo ;;
    *) echo test_unit test_integration test_comm test_settings test_wifi test_bluetooth test_test test_font \
         test_firmware test_cli test_gui ;;
  esac
}

# Replaces the one occurrence of $2 in file $1 by $3; status 3 when $2
# occurs other than once.
plant() {
  perl -e '
    my ($file, $pattern, $replacement) = @ARGV;
    open(my $in, "<", $file) or die "$file: $!\n";
    my $text = do { local $/; <$in> };
    close $in;
    my $count = () = $text =~ /\Q$pattern\E/g;
    exit 3 if $count != 1;
    $text =~ s/\Q$pattern\E/$replacement/;
    open(my $out, ">", $file) or die "$file: $!\n";
    print $out $text;
    close $out;' "$@"
}

# ---- the list ---------------------------------------------------------------
files=() patterns=() replacements=()
while IFS= read -r line || [ -n "$line" ]; do
  case $line in '' | '#'*) continue ;; esac
  if [[ $line != *": "*" => "* && $line != *": "*" =>" ]]; then
    echo "mutants: not FILE: PATTERN => REPLACEMENT: $line" >&2
    exit 2
  fi
  file=${line%%: *}
  rest=${line#*: }
  pattern=${rest%% =>*}
  replacement=${rest#"$pattern =>"}
  replacement=${replacement# }
  [ -f "$top/$file" ] || { echo "mutants: no file $file" >&2; exit 2; }
  files+=("$file") patterns+=("$pattern") replacements+=("$replacement")
done <"$list"

# ---- the scratch copy, following the working tree ---------------------------
mkdir -p "$src"
(cd "$top" && git ls-files --cached --others --exclude-standard | sort -u) >"$scratch/tracked"
while IFS= read -r f; do
  [ -f "$top/$f" ] || continue
  if ! cmp -s "$top/$f" "$src/$f"; then
    mkdir -p "$src/$(dirname "$f")"
    cp "$top/$f" "$src/$f"
  fi
done <"$scratch/tracked"
(cd "$src" && find . -path ./build -prune -o -type f -print | sed 's#^\./##' | sort) |
  comm -23 - "$scratch/tracked" | while IFS= read -r gone; do rm -f "$src/$gone"; done

if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # A planted fault may leave an unused variable behind: warnings stay warnings.
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEVEDER_WERROR=OFF "${launcher[@]}" >/dev/null
fi

all_tests=$(for f in "${files[@]}"; do tests_for "$f"; done | tr ' ' '\n' | sort -u | tr '\n' ' ')

run_tests() {  # prints the first program that fails; status 1 then
  local t
  for t in "$@"; do
    if ! timeout 600 "$build/tests/$t" --gtest_brief=1 --gtest_fail_fast >"$scratch/$t.log" 2>&1; then
      echo "$t"
      return 1
    fi
  done
}

echo "mutants: building $all_tests(-j$jobs)"
# shellcheck disable=SC2086
if ! nice -n 10 ninja -C "$build" -j"$jobs" $all_tests >"$scratch/build.log" 2>&1; then
  echo "mutants: the unchanged source does not build (see $scratch/build.log)" >&2
  exit 1
fi
# shellcheck disable=SC2086
if failed=$(run_tests $all_tests); then :; else
  echo "mutants: $failed fails without any fault planted (see $scratch/$failed.log)" >&2
  exit 1
fi

# ---- one fault at a time ----------------------------------------------------
saved=$scratch/original
current=
restore() { if [ -n "$current" ]; then cp "$saved" "$src/$current"; current=; fi; }
trap restore EXIT
trap 'restore; exit 130' INT TERM

caught=0 survived=0 invalid=0
for i in "${!files[@]}"; do
  file=${files[$i]} pattern=${patterns[$i]} replacement=${replacements[$i]}
  label="$file: $pattern => $replacement"
  cp "$src/$file" "$saved"
  current=$file
  if ! plant "$src/$file" "$pattern" "$replacement"; then
    echo "INVALID   $label   (the pattern does not occur exactly once)"
    invalid=$((invalid + 1))
    restore
    continue
  fi
  tests=$(tests_for "$file")
  # shellcheck disable=SC2086
  if ! nice -n 10 ninja -C "$build" -j"$jobs" $tests >"$scratch/build.log" 2>&1; then
    echo "INVALID   $label   (does not build)"
    invalid=$((invalid + 1))
  elif failed=$(run_tests $tests); then
    echo "SURVIVED  $label   ($tests)"
    survived=$((survived + 1))
  else
    echo "caught    $label   ($failed)"
    caught=$((caught + 1))
  fi
  restore
done
# Leave the build matching the unchanged source.
nice -n 10 ninja -C "$build" -j"$jobs" $all_tests >"$scratch/build.log" 2>&1 || true
echo "mutants: $caught caught, $survived survived, $invalid invalid, of ${#files[@]}"
[ "$survived" -eq 0 ] && [ "$invalid" -eq 0 ]
