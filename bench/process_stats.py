"""What the benchmark scripts ask of a running process and of the machine:
a process's CPU time so far, and a free loopback TCP port."""
import os
import socket


def cpu_seconds(pid):
    """User + system CPU time of the process so far, from /proc."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime, stime


def free_port():
    """A TCP port on 127.0.0.1 that nothing listens on just now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
