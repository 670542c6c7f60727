#!/usr/bin/env python3
"""Writes the seed corpus of every harness into tests/fuzz/corpus/NAME/: the requests, files and lines
the tests and the simulator exchange, in each harness's input format. Run again after changing a
format; inputs of fixed findings (named regression-*) are kept."""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(HERE, "corpus")


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def rtu(pdu):
    crc = crc16(pdu)
    return bytes(pdu) + bytes([crc & 0xFF, crc >> 8])


def words(address, function, *values):
    out = bytes([address, function])
    for value in values:
        out += struct.pack(">H", value)
    return out


def write_registers(start, values, address=52):
    out = words(address, 16, start, len(values)) + bytes([2 * len(values)])
    for value in values:
        out += struct.pack(">H", value)
    return out


# The slave requests of the slave tests (address 52, the default).
SLAVE_REQUESTS = [
    words(52, 1, 0, 37),
    words(52, 2, 0, 6),
    words(52, 3, 0, 127),
    words(52, 3, 256, 107),
    words(52, 4, 0, 22),
    words(52, 5, 3, 0xFF00),
    words(52, 6, 259, 424),
    words(52, 6, 0, 0x4142),
    words(52, 15, 0, 12) + bytes([2, 0xA5, 0x0F]),
    write_registers(266, [1, 2]),
    write_registers(126, [0x4142, 0x4344, 0x4546, 0x4748]),
    write_registers(309, [1, 2, 3, 4, 5, 6, 7]),
    words(0, 6, 259, 424),
]


def mbap(transaction, pdu):
    return struct.pack(">HHH", transaction, 0, len(pdu)) + pdu


def nmea(body):
    checksum = 0
    for c in body.encode():
        checksum ^= c
    return "$%s*%02X" % (body, checksum)


def http2_frame(kind, flags, stream, payload):
    return struct.pack(">I", len(payload))[1:] + bytes([kind, flags]) + struct.pack(">I", stream) + payload


def hpack_literal(name, value):
    # Literal header field without indexing, new name, no Huffman coding.
    name, value = name.encode(), value.encode()
    return bytes([0x00, len(name)]) + name + bytes([len(value)]) + value


def http2_request(stream, method, path, cookie=None, body=None):
    headers = hpack_literal(":method", method) + hpack_literal(":scheme", "https")
    headers += hpack_literal(":authority", "localhost") + hpack_literal(":path", path)
    if cookie:
        headers += hpack_literal("cookie", cookie)
    if body is not None:
        headers += hpack_literal("content-type", "application/x-www-form-urlencoded")
    end_headers, end_stream = 0x4, 0x1
    frames = http2_frame(1, end_headers | (end_stream if body is None else 0), stream, headers)
    if body is not None:
        frames += http2_frame(0, end_stream, stream, body.encode())
    return frames


def dynamogram_file(minute, hour, day, month, year, period, up, down):
    data = bytearray(9730)
    bcd = lambda v: (v // 10) << 4 | v % 10
    data[0:5] = bytes([bcd(minute), bcd(hour), bcd(day), bcd(month), bcd(year)])
    data[128:192] = bytes([
        0x02, 0x00, 0x00, 0x05, 0x02, 0x00, 0xAA, 0x55, 0x14, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x54,
        0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x12, 0x00,
        0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x26, 0x00, 0x00, 0x00,
        0x20, 0x00, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00])
    data[192:196] = struct.pack(">I", period)
    for i in range(2304):
        data[512 + 2 * i:514 + 2 * i] = struct.pack(">H", up[i] // 10 if i < len(up) else 0xFFFF)
    for i in range(2305):
        data[5120 + 2 * i:5122 + 2 * i] = struct.pack(">H", down[i] // 10 if i < len(down) else 0xFFFF)
    return bytes(data)


def boot_environment_area(entries):
    return b"".join(e.encode() + b"\0" for e in entries) + b"\0"


def seeds():
    s = {}
    s["slave_request_fuzz"] = SLAVE_REQUESTS + [
        SLAVE_REQUESTS[9] + b"\xff\xfe" + words(52, 3, 266, 2),
        write_registers(126, [0xD0A1, 0xD0BA, 0xD0B2, 0x2E20]) + b"\xff\xfe" + words(52, 3, 126, 4),
    ]
    pipelined = b"".join(mbap(i + 1, r) for i, r in enumerate(SLAVE_REQUESTS[:6]))
    s["mbap_stream_fuzz"] = [bytes([7]) + mbap(1, SLAVE_REQUESTS[2]), bytes([3]) + pipelined,
                             bytes([5]) + mbap(9, write_registers(266, [1, 2])) + mbap(10, words(52, 3, 266, 2)),
                             bytes([1]) + mbap(2, words(0, 6, 259, 424)) + mbap(3, words(52, 4, 0, 22)),
                             bytes([2]) + struct.pack(">HHH", 1, 0, 300) + b"\x34\x03"]
    rec = lambda pause, frame: bytes([pause, len(frame)]) + frame
    s["rtu_receiver_fuzz"] = [
        rec(0x90, rtu(SLAVE_REQUESTS[2])),
        rec(0x90, rtu(SLAVE_REQUESTS[0])[:4]) + rec(0x05, rtu(SLAVE_REQUESTS[0])[4:]),
        rec(0x90, rtu(SLAVE_REQUESTS[9])) + rec(0xA0, rtu(words(52, 3, 266, 2))),
        rec(0x90, rtu(SLAVE_REQUESTS[10])[:-1] + b"\x00"),
    ]
    # Drive answers as the simulated drives give them: the poll reads of both models.
    s["drive_answer_fuzz"] = [
        bytes([0]) + b"".join(rec(0xC1, a) for a in [
            bytes([1, 3, 4, 0, 0, 0, 0]), bytes([1, 0x0F, 0, 0, 0, 32]), bytes([1, 3, 2, 0x01, 0xC8]),
            bytes([1, 0x0F, 0, 0, 0, 32]), bytes([1, 3, 4, 0, 0, 0x07, 0xD0]),
            bytes([1, 0x0F, 0, 0, 0, 32]), bytes([1, 3, 4, 0, 0, 0, 1]),
            bytes([1, 0x0F, 0, 0, 0, 32]), bytes([1, 3, 4, 0, 0, 0x03, 0xE8]),
            bytes([1, 0x0F, 0, 0, 0, 32]), bytes([1, 3, 2, 0, 0x28])]),
        bytes([1]) + b"".join(rec(0xC1, a) for a in [
            bytes([1, 3, 4, 0x13, 0x88, 0x07, 0xD0]), bytes([1, 0x10, 0x20, 0, 0, 2]),
            bytes([1, 3, 4, 0, 0x05, 0, 1]), bytes([1, 0x10, 0x20, 0, 0, 2]),
            bytes([1, 3, 2, 0, 24]), bytes([1, 0x10, 0x20, 0, 0, 2]), bytes([1, 3, 2, 0, 40])]),
        bytes([3]) + rec(0x03, b"") + rec(0xC1, bytes([1, 0x83, 2])) + rec(0x40, bytes([1, 3, 4, 0, 0])),
    ]
    s["config_xml_fuzz"] = [
        b'<?xml version="1.0" encoding="UTF-8"?>\n<config><common><wellName>\xd0\xa1\xd0\xba\xd0\xb2. 12'
        b'</wellName><modbusAddress>17</modbusAddress></common></config>\n',
        b'<?xml version="1.0"?>\n<config><common><timeZone>Europe/Moscow</timeZone>'
        b'<workControl>5</workControl></common></config>\n',
        b'<?xml version="1.0"?>\n<config><common><nSwings>1e39</nSwings><wellName>&#1;</wellName>'
        b'</common></config>\n',
        b'<!DOCTYPE config [<!ENTITY e "xxxxxxxx">]><config><common><wellName>&e;&e;</wellName>'
        b'</common></config>',
    ]
    with open(os.path.join(ROOT, "data", "users.txt"), "rb") as f:
        users = f.read()
    s["users_file_fuzz"] = [users, b"admin:secret:1:full\nviewer:look:0:read only\n",
                            b"admin:secret:1:full\r\nbroken line\nx::4294967296:a:b:c"]
    s["boot_env_fuzz"] = [
        bytes([0x0B, 1, 0]) + boot_environment_area(["bootdelay=3", "baudrate=115200", "serial#=SIM0001"]) * 2,
        bytes([0x0F, 255, 0]) + boot_environment_area(["serial#=A"]) + boot_environment_area(["serial#=B"]),
        bytes([0x09, 3, 3]) + boot_environment_area(["serial#=1234", "ethaddr=00:11:22:33:44:55"]),
    ]
    pgms = []
    img = os.path.join(ROOT, "data", "img")
    for name in sorted(os.listdir(img)):
        with open(os.path.join(img, name), "rb") as f:
            pgms.append(f.read())
    s["pgm_fuzz"] = pgms[:3] + [b"P2\n# a comment\n3 2\n15\n0 7 15\n15 7 0\n"]
    s["dynamogram_file_fuzz"] = [
        dynamogram_file(30, 14, 7, 12, 26, 6000, [1200 + 10 * i for i in range(60)], [900 + 10 * i for i in range(60)]),
        dynamogram_file(0, 0, 1, 1, 0, 0, [], []),
    ]
    api = ['{"cmd":"journal"}', '{"cmd":"journal","lines":5000}', '{"cmd":"dynamograms"}',
           '{"cmd":"parameters"}', '{"cmd":"parametersRO"}', '{"cmd":"login","login":"admin","password":"secret"}',
           '{"cmd":"chpass","old":"secret","new":"other"}', '{"cmd":"setParameters","parameters":{"wellName":"x",'
           '"modbusAddress":17}}', '[1,2.5,-3e5,true,false,"a\\n\\"b"]', '{"a":{"b":[{"c":[]}]}}', '[' * 70 + ']' * 70]
    s["json_fuzz"] = [a.encode() for a in api]
    s["percent_decode_fuzz"] = [b"/index.html", b"/%2e%2e/%2e%2e/etc/passwd", b"/%252e%252e/x", b"a%20b+c",
                                b"%zz%4", b"login=admin; time=1767225600", b"%C3%A9t%C3%A9"]
    s["utf8_fuzz"] = ["Скв. 12".encode(), "Нет данных...".encode(), "Модем".encode(), b"ASCII only",
                      "\U0001F600 \u20AC \u00e9".encode(), b"\xc3\x28", b"\xed\xa0\x80", b"\xf4\x90\x80\x80"]
    s["nmea_fuzz"] = [nmea("GPRMC,123519.00,A,4807.038,N,01131.000,E,0.0,0.0,070126,,,A").encode(),
                      nmea("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45").encode(),
                      b"$GPRMC,123519.00,V,,,,,0.0,0.0,070126,,,A*00", b"$*00", b","]
    time_text = b"1767225600"
    s["authentication_fuzz"] = [bytes([0x0F, 0]) + b"admin\n" + time_text + b"\nx\ny",
                                bytes([0x0D, 2]) + b"admin\n\n\nwrong", bytes([0x07, 1]) + b"viewer\n\n\n",
                                bytes([0x00, 0]) + b"admin\n1767225600\n" + b"0" * 32 + b"\n" + b"0" * 32]
    s["dispatch_fuzz"] = [bytes([0]) + b"/", bytes([0]) + b"/index.html", bytes([4]) + b"/app.js",
                          bytes([8]) + b"/index.html", bytes([0]) + b"/%2e%2e/%2e%2e/srv/secret",
                          bytes([0]) + b"/%252e%252e", bytes([0]) + b"/css/../../secret",
                          bytes([0]) + b"/index.html%00.js", bytes([1]) + b"/api\n" + api[0].encode(),
                          bytes([2]) + b"/index.html", bytes([0]) + b"//srv/www.old", bytes([0]) + b"/css"]
    settings = http2_frame(4, 0, 0, b"")
    s["http2_session_fuzz"] = [
        settings + http2_request(1, "GET", "/index.html"),
        settings + http2_request(1, "GET", "/") + http2_request(3, "GET", "/%2e%2e/etc/passwd"),
        settings + http2_request(1, "POST", "/api", cookie="login=admin; time=1", body="json=%7B%22cmd%22%3A%22journal%22%7D"),
        settings + http2_frame(8, 0, 0, struct.pack(">I", 65535)) + http2_frame(6, 0, 0, b"12345678")
        + http2_frame(7, 0, 0, struct.pack(">II", 0, 0)),
    ]
    at = lambda *lines: "".join("\r\n%s\r\n" % l for l in lines).encode()
    s["modem_lines_fuzz"] = [
        at("OK") + b"\xff" + at("OK") + b"\xff" + at("OK", "+CSQ: 17,99", "OK"),
        at("+CPSI: WCDMA,Online,250-01,0x1A2B,12345,WCDMA IMT 2000,10737,0,-80,-10", "+CNSMOD: 0,4",
           "+CSPN: \"Operator\",0", "OK"),
        (nmea("GPRMC,123519.00,A,4807.038,N,01131.000,E,0.0,0.0,070126,,,A") + "\r\n"
         + nmea("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45") + "\r\n"
         + "$GPRMC,123520.00,A,4807.038,N,01131.000,E,0.0,0.0,070126,,,A*00\r\n").encode(),
        at("ERROR", "+CME ERROR: 10", "ERROR"),
    ]
    # Uevents as the simulated drives send them, and as the kernel does with all its variables.
    usb = "/devices/platform/ahb/1c14000.usb/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/"
    uevent = lambda action, path, *variables: "\0".join(
        ["%s@%s" % (action, path), "ACTION=" + action] + list(variables)).encode() + b"\0"
    s["uevent_fuzz"] = [
        uevent("add", usb + "sda"), uevent("add", usb + "sda/sda1"), uevent("remove", usb + "sdb"),
        uevent("remove", usb + "sda/sda1"),
        uevent("add", usb + "sdc", "DEVPATH=" + usb + "sdc", "SUBSYSTEM=block", "MAJOR=8", "MINOR=32",
               "DEVNAME=sdc", "DEVTYPE=disk", "SEQNUM=1234"),
        uevent("change", usb + "sda"), uevent("add", "/devices/virtual/block/loop0"),
        b"libudev\0\xfe\xed\xca\xfe" + uevent("add", usb + "sda"),
    ]
    # The worker's commands as the pages send them, on the harness's drive (sda1 with saved/config.xml).
    drive = "/run/media/sda1"
    lines = lambda *commands: "".join(c + "\n" for c in commands).encode()
    s["flash_commands_fuzz"] = [
        lines("MOUNT", "READDIR " + drive, "READDIR " + drive + "/saved",
              "RESTORECONFIG " + drive + "/saved/config.xml", "UMOUNT"),
        lines("MOUNT", "DGPREFIX " + drive + "/12-SIM0001", "COPYDG 0", "COPYLOG 0", "UMOUNT"),
        lines("MOUNT", "DGPREFIX " + drive + "/12", "COPYDG 1764547100", "CANCEL", "UMOUNT"),
        lines("SAVECONFIG 12-SIM0001", "SAVECONFIG a/b"),
        lines("MOUNT", "COPYLOGBYDATES 1764547200 1764633599 " + drive + "/12",
              "COPYELOGBYDATES 1764547200 1764633599 " + drive + "/12", "COPYLOGBYDATES 5", "UMOUNT"),
        lines("DYNOLIST", "MOUNT", "DGPREFIX " + drive + "/x", "DYNOCOPY telm_20261202_0002.bin",
              "DYNOCOPY ../telm_1.bin", "UMOUNT"),
        lines("FORMAT sda", "MOUNTALL", "CANCEL", "UMOUNT", "EXIT", "MOUNT"),
    ]
    return s


def main():
    for name, inputs in seeds().items():
        directory = os.path.join(CORPUS, name)
        os.makedirs(directory, exist_ok=True)
        for old in os.listdir(directory):
            if old.startswith("seed-"):
                os.remove(os.path.join(directory, old))
        for index, data in enumerate(inputs):
            with open(os.path.join(directory, "seed-%02d" % index), "wb") as f:
                f.write(data)
    print("seeds written under", os.path.relpath(CORPUS, ROOT))


if __name__ == "__main__":
    sys.exit(main())
