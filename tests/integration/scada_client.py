"""A SCADA master from Debian's python3-pymodbus against velkord's Modbus slave.

usage: scada_client.py tcp PORT | rtu DEVICE
Reads the board's identity and settings, changes the number of strokes (holding register 259) to
4.50 and reads it back; prints one line per check, "done" at the end, and exits 1 on a failed check.
"""
import sys

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

ADDRESS = 52
failures = []


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + (": " + str(detail) if detail else ""))
    if not condition:
        failures.append(name)


def registers(response):
    return None if response.isError() else list(response.registers)


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
