#!/usr/bin/env bash
# A private PulseAudio server with a null sink, for the playback tests: it
# never touches the user's own server, and it works as root (as in CI) or as
# any user.
#
#   tools/sound-server.sh start DIR   starts it with its socket, runtime folder
#                                     and log in DIR; prints the PULSE_SERVER
#                                     value; exit status 1 when none can start
#   tools/sound-server.sh stop DIR    stops that server and removes DIR
set -uo pipefail

cmd="${1:-}"
dir="${2:-}"
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

pid_of() { cat "$dir/run/pulse/pid" 2>/dev/null; }

case "$cmd" in
start)
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
    mkdir -p "$dir/run" "$dir/home"
    chmod 700 "$dir/run"
    socket="$dir/native"
    # -n: none of the system's start-up script, only the two modules named;
    # anonymous access to a socket only this folder knows. Root needs nothing
    # more than --system=false (it warns and goes on); --disallow-exit and no
    # idle exit keep it up for the whole run.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" XDG_CONFIG_HOME="$dir/home" \
        pulseaudio -n --daemonize=yes --system=false --exit-idle-time=-1 --disallow-exit \
        --use-pid-file=yes --log-target="file:$dir/log" \
        -L "module-null-sink sink_name=fonavid_null" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$socket" >/dev/null 2>&1
    for _ in $(seq 1 100); do
        if [ -S "$socket" ] && { ! command -v pactl >/dev/null || PULSE_SERVER="unix:$socket" pactl info >/dev/null 2>&1; }; then
            echo "unix:$socket"
            exit 0
        fi
        sleep 0.1
    done
    echo "the sound server did not start; its log: $dir/log" >&2
    [ -f "$dir/log" ] && tail -5 "$dir/log" >&2
    pid="$(pid_of)"
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    exit 1
    ;;
stop)
    pid="$(pid_of)"
    if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
