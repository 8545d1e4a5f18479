#!/usr/bin/env python3
"""Silences the machines of a running quorvane-sim park that have the given
host names (sim_silence 1 through rcon with the park's control password), so
that a window watching them shows them down.

    silence.py PID NAME...
"""
import re
import socket
import subprocess
import sys

OOB = b'\xff\xff\xff\xff'
CONTROL = b'sim'


def udp_ports(pid):
    out = subprocess.run(['ss', '-lunpH'], capture_output=True, text=True, check=True).stdout
    return sorted({int(m.group(1)) for line in out.splitlines() if f'pid={pid},' in line
                   for m in [re.search(r'127\.0\.0\.1:(\d+)', line)] if m})


def ask(sock, port, payload):
    sock.sendto(OOB + payload, ('127.0.0.1', port))
    try:
        return sock.recvfrom(65536)[0]
    except socket.timeout:
        return b''


def hostname(sock, port):
    reply = ask(sock, port, b'details\0')
    if reply[4:5] == b'm':
        return reply[5:].split(b'\0')[1]
    reply = ask(sock, port, b'TSource Engine Query\0')
    if reply[4:5] == b'A':
        reply = ask(sock, port, b'TSource Engine Query\0' + reply[5:9])
    if reply[4:5] == b'I':
        return reply[6:].split(b'\0')[0]
    reply = ask(sock, port, b'getManagerInfo\0')
    found = re.search(rb'\\hostname\\([^\\]*)', reply)
    return found.group(1) if found else b''


def silence(sock, port):
    reply = ask(sock, port, b'challenge rcon\n\0')
    found = re.search(rb'challenge rcon (\d+)', reply)
    if found:
        ask(sock, port, b'rcon ' + found.group(1) + b' "' + CONTROL + b'" sim_silence 1\0')
    else:  # hub managers take rcon without a challenge
        ask(sock, port, b'rcon "' + CONTROL + b'" sim_silence 1\0')


def main():
    pid, names = sys.argv[1], {name.encode() for name in sys.argv[2:]}
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.settimeout(1.0)
    for port in udp_ports(pid):
        name = hostname(sock, port)
        if name in names:
            silence(sock, port)
            print(f'silenced {port} {name.decode(errors="replace")}')


if __name__ == '__main__':
    main()
