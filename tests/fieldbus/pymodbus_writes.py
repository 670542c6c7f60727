"""Writes through Debian's python3-pymodbus against velkord's Modbus slaves, for the hostile cases.

usage:
  pymodbus_writes.py retry RTU_DEVICE TCP_PORT PAUSE_S
      writes 2.00 strokes (holding register 259) on the serial line, 4.00 over TCP, then, PAUSE_S
      seconds later, the same 2.00 on the serial line again: the repeated write must be answered and
      take effect.
  pymodbus_writes.py x100 rtu DEVICE|tcp PORT VALUE...
      writes each value to register 259 and reads it back; every value must read back as written.
Prints one line per failed check, "done" at the end, and exits 1 when a check failed.
"""
import sys
import time

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

ADDRESS = 52
REGISTER = 259
failures = []


def fail(text):
    print("FAIL " + text)
    failures.append(text)


def serial_client(device, retries=0):
    return ModbusSerialClient(device, baudrate=9600, bytesize=8, parity="N", stopbits=2, timeout=2,
                              retries=retries)


def tcp_client(port):
    return ModbusTcpClient("127.0.0.1", port=int(port), timeout=3)


def write(client, value, what):
    response = client.write_register(REGISTER, value, slave=ADDRESS)
    if response.isError():
        fail("%s: no answer to writing %d: %s" % (what, value, response))
        return False
    return True


def read(client):
    response = client.read_holding_registers(REGISTER, 1, slave=ADDRESS)
    return None if response.isError() else response.registers[0]


def retry(device, port, pause):
    rtu, tcp = serial_client(device), tcp_client(port)
    if not rtu.connect() or not tcp.connect():
        fail("connect")
        return
    write(rtu, 200, "serial line")
    write(tcp, 400, "tcp")
    time.sleep(pause)
    write(rtu, 200, "serial line, the same write again")
    value = read(tcp)
    if value != 200:
        fail("register 259 reads %s after the repeated write, not 200" % value)
    rtu.close()
    tcp.close()


def x100(kind, where, values):
    # What is checked here is the value read back, not the line: on a loaded machine a frame may be
    # split past the slave's silence and is then asked again, as any SCADA master does.
    client = serial_client(where, retries=2) if kind == "rtu" else tcp_client(where)
    if not client.connect():
        fail("connect")
        return
    for value in values:
        if not write(client, value, kind):
            continue
        back = read(client)
        if back != value:
            fail("wrote %d, read %s" % (value, back))
    client.close()


def main():
    if sys.argv[1] == "retry":
        retry(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    else:
        x100(sys.argv[2], sys.argv[3], [int(v) for v in sys.argv[4:]])
    print("done")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
