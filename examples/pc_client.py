#!/usr/bin/env python3
"""A PC client for the Halden's serial port, written with pyserial.

Takes control of the instrument, takes a reference reading of the blank and
a sample reading, and prints the absorbance at 579 nm.

    python3 examples/pc_client.py /tmp/ttyHALDEN              # halden-cli --serial-pty /tmp/ttyHALDEN
    python3 examples/pc_client.py socket://127.0.0.1:5000     # halden-cli --serial-tcp 5000

The port argument is anything pyserial opens: a device, a link to one, or a
socket:// URL. Exit status 0 on success, 1 when the instrument refused or
did not answer, 2 for a port that cannot be opened.
"""
import os
import sys
import time

try:
    import serial
except ImportError:
    # Debian's python3-serial belongs to the system interpreter; a python3
    # from elsewhere earlier on PATH does not see it.
    system_python = "/usr/bin/python3"
    if os.path.exists(system_python) and os.path.realpath(sys.executable) != os.path.realpath(system_python) \
            and not os.environ.get("HALDEN_PC_CLIENT_REEXEC"):
        os.environ["HALDEN_PC_CLIENT_REEXEC"] = "1"
        os.execv(system_python, [system_python] + sys.argv)
    sys.exit("pc_client.py needs pyserial: apt-get install python3-serial")

CONTROL_WAIT_S = 120   # how long to wait while the instrument is starting up
READING_WAIT_S = 60    # a reading takes about 5 s of instrument time


class Instrument:
    def __init__(self, port):
        self.port = serial.serial_for_url(port, baudrate=9600, timeout=0.2)
        self.pending = b""

    def close(self):
        self.port.close()

    def send(self, data):
        self.port.write(data)
        self.port.flush()

    def read_line(self, deadline):
        """One line without its CR LF, or None at the deadline."""
        while b"\r\n" not in self.pending:
            if time.monotonic() > deadline:
                return None
            self.pending += self.port.read(4096)
        line, self.pending = self.pending.split(b"\r\n", 1)
        return line.decode("latin-1")

    def command(self, text, wait_s=10.0):
        """Sends a command line; returns (reply, lines before it)."""
        self.send(text.encode("ascii") + b"\r\n")
        return self.reply(wait_s)

    def reply(self, wait_s):
        deadline = time.monotonic() + wait_s
        lines = []
        while True:
            line = self.read_line(deadline)
            if line is None:
                raise TimeoutError("no reply within %g s (so far: %r)" % (wait_s, lines[-3:]))
            if line.startswith("E") and line[1:3].isdigit():
                return line, lines
            lines.append(line)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: pc_client.py PORT   (a device such as /tmp/ttyHALDEN, or socket://127.0.0.1:PORT)")
    try:
        inst = Instrument(sys.argv[1])
    except (serial.SerialException, OSError) as error:
        print("pc_client.py: cannot open %s: %s" % (sys.argv[1], error), file=sys.stderr)
        return 2
    try:
        # Throw away what the instrument sent before we came, and end any
        # line a previous client left unfinished: an empty line is answered
        # with an error, a broken one too.
        time.sleep(0.1)
        inst.port.reset_input_buffer()
        inst.send(b"\r\n")
        inst.reply(10)

        print(inst.command("ID?")[0])
        # CONTROL is refused (E93) while the instrument is in standby or on a
        # start-up screen; the operator switches it on and confirms with OK.
        deadline = time.monotonic() + CONTROL_WAIT_S
        while True:
            reply, _ = inst.command("CONTROL")
            if reply == "E00":
                break
            if reply != "E93" or time.monotonic() > deadline:
                print("pc_client.py: CONTROL answered %s" % reply, file=sys.stderr)
                return 1
            print("instrument busy (standby or start-up): waiting for the main menu", file=sys.stderr)
            time.sleep(2)
        try:
            reply, _ = inst.command("SETREF", READING_WAIT_S)
            print("reference: %s" % reply)
            if reply != "E00":
                return 1
            # ^T: a sample reading, its result block and "TEST DONE".
            inst.send(b"\x14")
            deadline = time.monotonic() + READING_WAIT_S
            while True:
                line = inst.read_line(deadline)
                if line is None:
                    print("pc_client.py: no sample result", file=sys.stderr)
                    return 1
                if line == "TEST DONE":
                    break
            print("sample: TEST DONE")
            reply, _ = inst.command("READA? 579")
            fields = reply.split()
            if fields[0] != "E00" or len(fields) != 3:
                print("pc_client.py: READA? 579 answered %s" % reply, file=sys.stderr)
                return 1
            print("absorbance at %s nm: %s" % (fields[2], fields[1]))
        finally:
            inst.command("RELEASE")
        return 0
    except TimeoutError as error:
        print("pc_client.py: %s" % error, file=sys.stderr)
        return 1
    finally:
        inst.close()


if __name__ == "__main__":
    sys.exit(main())
