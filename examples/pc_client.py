#!/usr/bin/env python3
"""A reference client for the Halden's serial port, written with pyserial.

It runs a whole session: greets the instrument, takes control, takes a
reference reading and a sample reading (^T with its result block), asks
the absorbance at three wavelengths, fetches the spectrum with SCANBIN
(hexadecimal, 12-bit two's complement) and with SCANTXT, compares the two,
and hands the instrument back.

    python3 examples/pc_client.py /tmp/ttyHALDEN              # halden-cli --serial-pty /tmp/ttyHALDEN
    python3 examples/pc_client.py socket://127.0.0.1:5000     # halden-cli --serial-tcp 5000

The port is anything pyserial opens: a device, a link to one, or a
socket://HOST:PORT URL. Options: --timeout SECONDS for each reply (readings
get six times as long), --wavelength NM (three times; default 579 586 830).

Exit status: 0 done; 1 the instrument answered with an error code or with
something this client does not understand; 2 bad usage or a port that
cannot be opened; 3 no reply in time; 4 the connection was lost.
"""
import argparse
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

CONTROL_WAIT_S = 120        # how long CONTROL is retried while the instrument starts up
CONTROL_RETRY_S = 0.5
FIRST_NM, LAST_NM = 330, 830
POINTS = LAST_NM - FIRST_NM + 1
WAVELENGTH_SUM = sum(range(FIRST_NM, LAST_NM + 1))  # the check line's 290580

ERRORS = {
    "E01": "a value out of range",
    "E90": "an argument missing, or text after the last one",
    "E91": "unknown command, or control mode needed",
    "E92": "not supported",
    "E93": "busy: CONTROL refused on the current screen",
    "E94": "malformed argument",
    "E95": "line longer than 32 bytes",
}

EXIT_REFUSED, EXIT_USAGE, EXIT_TIMEOUT, EXIT_LOST = 1, 2, 3, 4


class InstrumentError(Exception):
    """The instrument replied with an error code (code), or with what no reply should be."""

    def __init__(self, message, code=None):
        super().__init__(message)
        self.code = code


def refused(what, reply):
    return InstrumentError("%s answered %s (%s)" % (what, reply, ERRORS.get(reply[:3], "unknown code")), reply[:3])


class NoReply(Exception):
    """Nothing (or not enough) came within the time allowed."""


class ConnectionLost(Exception):
    """The port closed or failed under us."""


def number(text, what, base=None):
    try:
        return int(text, base) if base else float(text)
    except ValueError:
        raise InstrumentError("%s sent %r where a number belongs" % (what, text)) from None


def is_reply(line):
    return len(line) >= 3 and line[0] == "E" and line[1:3].isdigit() and (len(line) == 3 or line[3] == " ")


class Instrument:
    def __init__(self, port, timeout_s):
        self.name = port
        self.timeout_s = timeout_s
        self.port = serial.serial_for_url(port, baudrate=9600, timeout=0.05)
        self.pending = b""

    def close(self):
        self.port.close()

    def send(self, data):
        try:
            self.port.write(data)
            self.port.flush()
        except (serial.SerialException, OSError) as error:
            raise ConnectionLost(str(error)) from None

    def read_line(self, deadline, what):
        """One line without its CR LF; NoReply at the deadline."""
        while b"\r\n" not in self.pending:
            if time.monotonic() > deadline:
                raise NoReply("no reply to %s within %g s" % (what, deadline - self.started))
            try:
                self.pending += self.port.read(4096)
            except (serial.SerialException, OSError) as error:
                raise ConnectionLost(str(error)) from None
        line, self.pending = self.pending.split(b"\r\n", 1)
        return line.decode("latin-1")

    def start(self, factor=1):
        self.started = time.monotonic()
        return self.started + self.timeout_s * factor

    def command(self, text, factor=1):
        """Sends a command line; returns (value after "E00 ", lines before the reply).
        An error reply raises InstrumentError."""
        self.send(text.encode("ascii") + b"\r\n")
        reply, lines = self.reply(text, self.start(factor))
        if reply[:3] != "E00":
            raise refused(text, reply)
        return reply[4:], lines

    def reply(self, what, deadline):
        lines = []
        while True:
            line = self.read_line(deadline, what)
            if is_reply(line):
                return line, lines
            lines.append(line)

    def resynchronise(self):
        """Ends any line a previous client left unfinished: an empty line is
        answered with an error (E91), a broken one with its own."""
        time.sleep(0.1)
        self.port.reset_input_buffer()
        self.send(b"\r\n")
        self.reply("an empty line", self.start())

    def take_control(self):
        deadline = time.monotonic() + CONTROL_WAIT_S
        told = False
        while True:
            try:
                return self.command("CONTROL")
            except InstrumentError as error:
                # E93 while the instrument is in standby or starting up; the
                # operator switches it on and confirms the self-test with OK.
                if error.code != "E93" or time.monotonic() > deadline:
                    raise
                if not told:
                    print("instrument busy (standby or start-up): waiting for the main menu", file=sys.stderr)
                    told = True
            time.sleep(CONTROL_RETRY_S)

    def sample_block(self):
        """^T: a sample reading and its result block; returns the 501 values."""
        self.send(b"\x14")
        deadline = self.start(6)
        header = self.read_line(deadline, "^T")
        fields = header.split(",")
        if len(fields) != 7 or not all(f.isdigit() for f in fields[:6]):
            raise InstrumentError("^T answered %r, not a result header" % header)
        values = []
        for nm in range(FIRST_NM, LAST_NM + 1):
            point = self.read_line(deadline, "^T").split(",")
            if len(point) != 3 or point[0] != str(nm) or point[2] != "":
                raise InstrumentError("^T: %r where the point of %d nm belongs" % (",".join(point), nm))
            values.append(number(point[1], "^T"))
        check = self.read_line(deadline, "^T").split(",")
        if len(check) != 3 or check[1] != str(WAVELENGTH_SUM):
            raise InstrumentError("^T: the check line %r does not end in %d" % (",".join(check), WAVELENGTH_SUM))
        if abs(number(check[0], "^T") - sum(values)) > 0.0005 * POINTS:
            raise InstrumentError("^T: the check sum %s is not the sum of the points" % check[0])
        for expected in ("", "TEST DONE"):
            line = self.read_line(deadline, "^T")
            if line != expected:
                raise InstrumentError("^T: %r where %r belongs" % (line, expected))
        return values

    def scanbin(self):
        """SCANBIN: the spectrum as 501 groups of three hexadecimal digits, the
        reply on the same line; returns the absorbances."""
        self.send(b"SCANBIN\r\n")
        deadline = self.start(6)
        while True:
            line = self.read_line(deadline, "SCANBIN")
            if is_reply(line):
                raise refused("SCANBIN", line)
            if not line.startswith("+"):
                break  # trace lines such as "+00<TAB>Scanning" come first
        groups = line.split(",")
        if len(groups) != POINTS + 1 or groups[-1] != "E00":
            raise InstrumentError("SCANBIN sent %d groups ending in %r" % (len(groups) - 1, groups[-1][:8]))
        values = []
        for group in groups[:-1]:
            if len(group) != 3:
                raise InstrumentError("SCANBIN sent the group %r" % group)
            milli = number(group, "SCANBIN", 16)
            if milli >= 0x800:  # 12-bit two's complement
                milli -= 0x1000
            values.append(milli / 1000)
        return values

    def scantxt(self):
        _, lines = self.command("SCANTXT", factor=6)
        values = [number(line, "SCANTXT") for line in lines if not line.startswith("+")]
        if len(values) != POINTS:
            raise InstrumentError("SCANTXT sent %d values" % len(values))
        return values


def extremes(values):
    high = max(range(POINTS), key=lambda i: values[i])
    low = min(range(POINTS), key=lambda i: values[i])
    return "highest %.3f at %d nm, lowest %.3f at %d nm" % (values[high], FIRST_NM + high, values[low], FIRST_NM + low)


def session(inst, wavelengths):
    inst.resynchronise()
    inst.send(b"\x08")  # ^H; ID? after it ends what the greeting sends
    version, lines = inst.command("ID?")
    if "HELLO" not in lines:
        raise InstrumentError("^H was not answered with HELLO")
    # Lines before it are the start-up's; after it, the serial number once one is set.
    greeting = lines[len(lines) - 1 - lines[::-1].index("HELLO"):]
    print("greeting: %s" % " / ".join(line for line in greeting if line))
    print("instrument: %s" % version)
    inst.take_control()
    print("control: taken")
    try:
        inst.command("SETREF", factor=6)
        print("reference: taken")
        values = inst.sample_block()
        print("sample: %d points, %s" % (len(values), extremes(values)))
        for nm in wavelengths:
            value, _ = inst.command("READA? %d" % nm)
            absorbance, where = value.split()
            print("absorbance at %s nm: %s" % (where, absorbance))
        binary = inst.scanbin()
        print("SCANBIN: %d points, %s" % (len(binary), extremes(binary)))
        text = inst.scantxt()
        differ = sum(1 for a, b in zip(binary, text) if abs(a - b) > 0.0015)
        print("SCANTXT: %d points, %s" % (len(text), "as SCANBIN" if differ == 0 else "%d differ from SCANBIN" % differ))
    finally:
        # Hand the instrument back even when a step failed, while the line lasts.
        try:
            inst.command("RELEASE")
            print("released")
        except (InstrumentError, NoReply, ConnectionLost):
            pass


def main():
    parser = argparse.ArgumentParser(description="A reference session with the Halden over its serial port.")
    parser.add_argument("port", help="a device such as /tmp/ttyHALDEN, or socket://127.0.0.1:PORT")
    parser.add_argument("--timeout", type=float, default=10.0, metavar="SECONDS",
                        help="how long to wait for a reply (readings: six times as long)")
    parser.add_argument("--wavelength", type=int, action="append", metavar="NM",
                        help="a wavelength for READA?, three times (default 579 586 830)")
    args = parser.parse_args()
    wavelengths = args.wavelength or [579, 586, 830]
    if len(wavelengths) != 3:
        parser.error("give --wavelength three times")
    try:
        inst = Instrument(args.port, args.timeout)
    except (serial.SerialException, OSError, ValueError) as error:
        print("pc_client.py: cannot open %s: %s" % (args.port, error), file=sys.stderr)
        return EXIT_USAGE
    try:
        session(inst, wavelengths)
        return 0
    except InstrumentError as error:
        print("pc_client.py: %s" % error, file=sys.stderr)
        return EXIT_REFUSED
    except NoReply as error:
        print("pc_client.py: %s" % error, file=sys.stderr)
        return EXIT_TIMEOUT
    except ConnectionLost as error:
        print("pc_client.py: the connection to %s was lost: %s" % (args.port, error), file=sys.stderr)
        return EXIT_LOST
    finally:
        inst.close()


if __name__ == "__main__":
    sys.exit(main())
