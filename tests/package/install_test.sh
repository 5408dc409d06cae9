#!/bin/sh
# Installs Tutor Bench and Dosarion into a scratch root, checks the desktop entries and the
# metainfo, and starts the installed launchers for a teacher with a fresh home and for a
# student on the offscreen platform. Each program's component installs its own files alone.
#   install_test.sh <build folder>
set -eu
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tutorbench-install.XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$scratch/log" ] && sed 's/^/  program: /' "$scratch/log" >&2
    exit 1
}

root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
desktop-file-validate "$root/usr/share/applications/org.dosarion.TutorBench.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.dosarion.TutorBench.metainfo.xml" || fail "metainfo"
desktop-file-validate "$root/usr/share/applications/org.dosarion.Dosarion.desktop" || fail "Dosarion's desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.dosarion.Dosarion.metainfo.xml" || fail "Dosarion's metainfo"
for page in tutorbench dosarion; do
    gzip -t "$root/usr/share/man/man1/$page.1.gz" || fail "manual page $page"
    gzip -t "$root/usr/share/doc/$page/changelog.gz" || fail "changelog of $page"
done

# One package per program: the students' holds no teacher's file, and the reverse.
student_root=$scratch/student-root
DESTDIR=$student_root cmake --install "$build" --prefix /usr --component dosarion >/dev/null
[ -x "$student_root/usr/bin/dosarion" ] && [ -x "$student_root/usr/lib/dosarion/dosarion" ] \
    || fail "the dosarion component lacks its programs"
[ ! -e "$student_root/usr/share/tutorbench" ] && [ ! -e "$student_root/usr/bin/tutorbench" ] \
    || fail "the dosarion component holds Tutor Bench's files"
teacher_root=$scratch/teacher-root
DESTDIR=$teacher_root cmake --install "$build" --prefix /usr --component tutorbench >/dev/null
[ ! -e "$teacher_root/usr/bin/dosarion" ] || fail "the tutorbench component holds Dosarion"
sample=$root/usr/share/tutorbench/sample
program=$root/usr/lib/tutorbench/tutorbench

# A teacher with nothing set up yet, and no desktop.
mkdir -m 700 "$scratch/run"
cd /
teacher() {
    env -i PATH="$PATH" HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
        XDG_RUNTIME_DIR="$scratch/run" "$@"
}

# Starts the launcher in the background and waits until the program runs in $1, with
# its start window up: start-up creates MX.INI right after showing the start window.
start_in() {
    # A simple command, so that the process started is the launcher, and after it the program.
    env -i PATH="$PATH" HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
        XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen "$root/usr/bin/tutorbench" >"$scratch/log" 2>&1 &
    pid=$!
    tries=0
    until [ -e "$1/MX.INI" ]; do
        tries=$((tries + 1))
        [ "$tries" -le 300 ] || fail "no start-up in $1 within 30 s"
        [ -d "/proc/$pid" ] || fail "the launcher ended before the program started in $1"
        sleep 0.1
    done
    sleep 1
    [ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "the running process is not the installed program"
    [ "$(readlink "/proc/$pid/cwd")" = "$1" ] || fail "the program does not work in $1"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}

seeded() {
    for f in MXDBASE.FIL mxdbs1.idx mxdbs2.idx mxcat.idx mxweight.txt; do
        cmp -s "$sample/$f" "$1/$f" || fail "$1/$f is not the sample's"
    done
}

# First start: the default data folder is created and seeded.
start_in "$scratch/data/tutorbench"
seeded "$scratch/data/tutorbench"

# A folder chosen once (the school's shared drive) is seeded and used from then on.
mkdir "$scratch/shared drive"
(cd "$scratch" && teacher "$root/usr/bin/tutorbench" --choose-folder "shared drive" </dev/null >/dev/null 2>&1) || true
[ "$(cat "$scratch/config/tutorbench/data-folder")" = "$scratch/shared drive" ] || fail "the choice was not recorded"
seeded "$scratch/shared drive"
start_in "$scratch/shared drive"

# A folder whose name one line cannot keep is refused before anything is copied into it.
odd="$scratch/two
lines"
mkdir "$odd"
if teacher "$root/usr/bin/tutorbench" --choose-folder "$odd" </dev/null >/dev/null 2>"$scratch/log"; then
    fail "a folder name with a line break was recorded"
fi
grep -q "holds a line break" "$scratch/log" || fail "the line break was not named"
[ -z "$(ls -A "$odd")" ] || fail "the refused folder was seeded"
[ "$(cat "$scratch/config/tutorbench/data-folder")" = "$scratch/shared drive" ] || fail "the choice was changed"

# The chosen folder gone (the drive not connected): the launcher names it and stops.
rm -rf "$scratch/shared drive"
if teacher "$root/usr/bin/tutorbench" >/dev/null 2>"$scratch/log"; then fail "started without its data folder"; fi
grep -q "shared drive\" cannot be reached" "$scratch/log" || fail "the missing folder was not named"
# A student on a PC whose folder was chosen as the teachers' shared one: Dosarion starts there,
# makes its results folder and leaves every teacher's file as it was (no MX.INI, no lock).
mkdir "$scratch/teachers"
cp "$sample"/* "$scratch/teachers/"
cd "$scratch"
env -i PATH="$PATH" HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen "$root/usr/bin/dosarion" --choose-folder "$scratch/teachers" \
    </dev/null >"$scratch/log" 2>&1 &
pid=$!
cd /
tries=0
until [ -d "$scratch/teachers/results" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 300 ] || fail "Dosarion did not start in the teachers' folder within 30 s"
    [ -d "/proc/$pid" ] || fail "Dosarion ended before it started in the teachers' folder"
    sleep 0.1
done
sleep 1
[ "$(readlink "/proc/$pid/exe")" = "$root/usr/lib/dosarion/dosarion" ] || fail "the running process is not Dosarion"
[ "$(cat "$scratch/config/tutorbench/data-folder")" = "$scratch/teachers" ] || fail "the student's choice was not recorded"
for f in MXDBASE.FIL mxdbs1.idx mxdbs2.idx mxcat.idx mxweight.txt; do
    cmp -s "$sample/$f" "$scratch/teachers/$f" || fail "Dosarion changed $f"
done
[ "$(ls "$scratch/teachers" | sort | tr '\n' ' ')" = "MXDBASE.FIL mxcat.idx mxdbs1.idx mxdbs2.idx mxweight.txt results " ] \
    || fail "Dosarion wrote into the teachers' folder: $(ls "$scratch/teachers")"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "installed, validated, started and seeded"
