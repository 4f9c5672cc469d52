# What a running process has cost so far, read from /proc; sourced by the bench scripts.
#   cpu_ns PID            nanoseconds on the CPU, summed over all its threads
#   voluntary_switches PID  times its threads went to sleep of their own accord (its wake-ups), summed
#   status_kib KEY PID    a memory figure of /proc/PID/status in KiB (VmRSS, VmHWM)
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{sum += $1} END {printf "%d", sum}'; }
voluntary_switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {sum += $2} END {printf "%d", sum}'; }
status_kib() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$2/status"; }
