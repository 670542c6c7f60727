"""A SCADA master from Debian's python3-pymodbus against velkord's Modbus slave.

usage: scada_client.py tcp PORT | rtu DEVICE [--live]
Reads the board's identity, with --live the measurements of a stroking unit (input registers 14-21,
the discrete inputs) and the settings, changes the number of strokes (holding register 259) to 4.50 and
reads it back; prints one line per check, "done" at the end, and exits 1 on a failed check.
"""
import sys
import time

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

ADDRESS = 52
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + (": " + str(detail) if detail else ""))
    if not condition:
        failures.append(name)


def registers(response):
    return None if response.isError() else list(response.registers)


def signed(word):
    return word - 0x10000 if word & 0x8000 else word


# Polled for a few seconds at most: the unit strokes from its start, so the drive runs at once; the
# thermometer worker gives its first reading a few seconds after start, as on the board.
MEASURING_SECONDS = 10


def measurements(client):
    """Input registers 14-21 and discrete inputs 0-5, read until the drive of pump unit 1 is seen
    running, the load has moved and the oil temperature is known; the last readings, whether it ran
    and the loads seen."""
    deadline = time.monotonic() + MEASURING_SECONDS
    loads = set()
    while True:
        values = registers(client.read_input_registers(14, 8, slave=ADDRESS))
        bits = client.read_discrete_inputs(0, 6, slave=ADDRESS)
        inputs = None if bits.isError() else list(bits.bits[:6])
        running = values is not None and values[3] > 0 and values[2] > 0
        if values is not None:
            loads.add(signed(values[0]) << 16 | values[1])
        thermometer = inputs is not None and inputs[4]
        if (running and len(loads) > 1 and thermometer) or time.monotonic() > deadline:
            return values, inputs, running, loads
        time.sleep(0.2)


def check_measurements(client):
    values, inputs, running, loads = measurements(client)
    check("measurements read", values is not None and len(values) == 8, values)
    check("discrete inputs read", inputs is not None, inputs)
    if values is None or inputs is None:
        return
    load = signed(values[0]) << 16 | values[1]
    check("drive 1 runs: frequency and current above 0", running, values[2:4])
    check("drive 1 frequency at most 100 Hz", values[3] <= 10000, values[3])
    check("load G plausible (0 to 20000 kgf)", 0 < load <= 2000000, load)
    check("load G live: it changes while the unit strokes", len(loads) > 1, sorted(loads))
    check("pressure plausible (0 to 400 kgf/cm2)", 0 < values[4] <= 40000, values[4])
    check("drive 2 frequency at most 100 Hz", values[6] <= 10000, values[6])
    check("oil temperature sane (-40 to 120 C)", -4000 <= signed(values[7]) <= 12000, signed(values[7]))
    check("drive 1 current and frequency available", inputs[0] and inputs[2], inputs)
    check("oil temperature and pressure valid", inputs[4] and inputs[5], inputs)


def main():
    kind, where = sys.argv[1], sys.argv[2]
    if kind == "tcp":
        client = ModbusTcpClient("127.0.0.1", port=int(where), timeout=3)
    else:
        client = ModbusSerialClient(where, baudrate=9600, bytesize=8, parity="N", stopbits=2, timeout=3)
    check("connect", client.connect())

    identity = registers(client.read_input_registers(0, 14, slave=ADDRESS))
    check("input registers read", identity is not None, identity)
    if identity:
        serial = b"".join(r.to_bytes(2, "big") for r in identity[0:5]).rstrip(b"\0").decode()
        check("serial number", serial == "SIM-0001", serial)
        check("clock", (identity[12] << 16 | identity[13]) > 1600000000, identity[12:14])

    if "--live" in sys.argv[3:]:
        check_measurements(client)

    settings = registers(client.read_holding_registers(256, 4, slave=ADDRESS))
    check("settings read", settings is not None and settings[0] == ADDRESS and settings[3] == 300, settings)

    written = client.write_register(259, 450, slave=ADDRESS)
    check("strokes written", not written.isError(), written)
    check("strokes read back", registers(client.read_holding_registers(259, 1, slave=ADDRESS)) == [450])

    beyond = client.read_holding_registers(360, 5, slave=ADDRESS)
    check("past the map is exception 2", beyond.isError() and getattr(beyond, "exception_code", 0) == 2, beyond)

    if kind == "tcp":
        other = client.read_holding_registers(256, 1, slave=17)
        check("unit 17 answered", not other.isError() and other.unit_id == 17, other)
    client.close()
    print("done")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
