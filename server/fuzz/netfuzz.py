#!/usr/bin/env python3
"""Network fuzzer for memberd: a bounded loop of hostile and careless clients
on loopback. Run it against a sanitizer build and read the sanitizer's log.

Clients log in or not, send requests built from the statement corpus with
random mutations, split their bytes, pipeline, never read, reset their
connection (RST) right after a request or while it runs, and send garbage
before the log-in. Each worker stops at the deadline.

With --tls the port speaks TLS (memberd --tls-cert ...): clients then
speak TLS (certificates are not checked; NETFUZZ_CERT and NETFUZZ_KEY give
the client certificate a --tls-client-ca service asks for), and further
clients break the handshake: clear text at the TLS port, random or truncated
handshake records, a reset in the middle of the handshake.

Usage: netfuzz.py ADDRESS PASSWORD SECONDS [WORKERS] [--tls]
Exit status 1 when memberd stopped answering a fresh log-in at the end.
"""
import os
import random
import socket
import ssl
import struct
import sys
import threading
import time

TLS = "--tls" in sys.argv
ARGS = [a for a in sys.argv if a != "--tls"]
ADDRESS, PASSWORD, SECONDS = ARGS[1], ARGS[2].encode(), float(ARGS[3])
WORKERS = int(ARGS[4]) if len(ARGS) > 4 else 8
TLS_CONTEXT = None
if TLS:
    TLS_CONTEXT = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    TLS_CONTEXT.check_hostname = False
    TLS_CONTEXT.verify_mode = ssl.CERT_NONE
    if os.environ.get("NETFUZZ_CERT"):
        TLS_CONTEXT.load_cert_chain(os.environ["NETFUZZ_CERT"], os.environ.get("NETFUZZ_KEY"))
PORT = 3501
HERE = os.path.dirname(os.path.abspath(__file__))
STATEMENTS = []
for name in sorted(os.listdir(os.path.join(HERE, "corpus", "checker"))):
    with open(os.path.join(HERE, "corpus", "checker", name), "rb") as f:
        STATEMENTS.append(f.read().decode("utf-8", "replace").encode("cp950", "replace"))
STATEMENTS += [b"Select CustNo From Cust Where CustNo = 'N%d'", b"INSERT INTO CUST (CustNo) VALUES ('N%d')",
               b"Update Cust set TBonusAmt = TBonusAmt + 1 Where CustNo = 'N%d'",
               b"INSERT INTO VCardLog (CardNo, TxnAmt) VALUES ('N%d', 1)"]
deadline = time.time() + SECONDS
counts = {"connections": 0, "requests": 0, "resets": 0}
lock = threading.Lock()


def mutate(data, rng):
    data = bytearray(data)
    for _ in range(rng.randrange(0, 4)):
        op = rng.randrange(4)
        if op == 0 and data:
            data[rng.randrange(len(data))] = rng.randrange(256)
        elif op == 1:
            data.insert(rng.randrange(len(data) + 1), rng.choice(b"'\"();,\x03\n-/*:"))
        elif op == 2 and data:
            del data[rng.randrange(len(data))]
        else:
            data += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 16)))
    return bytes(data)


def request(rng):
    command = rng.choice([b"SELECT", b"SERVER", b"TCPCNT", b"select", b"XXXXXX", b"SERV"])
    statement = rng.choice(STATEMENTS)
    if b"%d" in statement:
        statement = statement % rng.randrange(50)
    if rng.random() < 0.5:
        statement = mutate(statement, rng)
    prefix = rng.choice([b"ZELQ", b"ABCD", b"", b"Z"])
    return prefix + command + b"00" + statement + (b"\x03" if rng.random() < 0.95 else b"")


def reset(sock):
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


# A broken TLS handshake: a random or truncated record, clear text, or a
# reset once the client's first flight is out. True when the client is done.
def break_handshake(sock, rng):
    kind = rng.randrange(6)
    if kind == 0:
        sock.sendall(b"\x16\x03" + bytes(rng.randrange(256) for _ in range(rng.randrange(1, 600))))
    elif kind == 1:
        length = rng.randrange(1, 0x4800)
        sock.sendall(b"\x16\x03\x01" + struct.pack(">H", length) + b"\x01" +
                     bytes(rng.randrange(256) for _ in range(rng.randrange(0, 300))))
    elif kind == 2:
        sock.sendall(b"ZELQTCPCNT00" + PASSWORD + b"\x03")
        sock.recv(4096)
    elif kind == 3:
        outgoing = ssl.MemoryBIO()
        tls = TLS_CONTEXT.wrap_bio(ssl.MemoryBIO(), outgoing)
        try:
            tls.do_handshake()
        except ssl.SSLWantReadError:
            pass
        hello = outgoing.read()
        sock.sendall(hello[:rng.randrange(len(hello) + 1)])
    else:
        return False
    if rng.random() < 0.5:
        reset(sock)
    else:
        sock.close()
    return True


def client(rng):
    sock = socket.socket()
    sock.settimeout(2)
    try:
        # From many addresses, so that the per-address lock-out does not end the run.
        sock.bind(("127.%d.%d.%d" % (rng.randrange(1, 200), rng.randrange(256), rng.randrange(1, 255)), 0))
        sock.connect((ADDRESS, PORT))
        with lock:
            counts["connections"] += 1
        if TLS:
            if break_handshake(sock, rng):
                return
            sock = TLS_CONTEXT.wrap_socket(sock)
        mode = rng.randrange(10)
        if mode == 0:  # garbage before the log-in
            sock.sendall(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 3000))))
        elif mode == 1:  # wrong password
            sock.sendall(b"ZELQTCPCNT00" + mutate(PASSWORD, rng) + b"\x03")
        else:
            sock.sendall(b"ZELQTCPCNT00" + PASSWORD + b"\x03")
        reads = rng.random() < 0.7
        for _ in range(rng.randrange(1, 20)):
            if time.time() > deadline:
                break
            data = request(rng)
            if rng.random() < 0.3:  # in pieces
                cut = rng.randrange(len(data) + 1)
                sock.sendall(data[:cut])
                sock.sendall(data[cut:])
            else:
                sock.sendall(data)
            with lock:
                counts["requests"] += 1
            if rng.random() < 0.1:  # leaves while its statement runs
                with lock:
                    counts["resets"] += 1
                reset(sock)
                return
            if reads:
                sock.recv(65536)
        if rng.random() < 0.5:
            reset(sock)
        else:
            sock.close()
    except (OSError, ValueError):
        sock.close()


def worker(seed):
    rng = random.Random(seed)
    while time.time() < deadline:
        client(rng)


threads = [threading.Thread(target=worker, args=(i,)) for i in range(WORKERS)]
for t in threads:
    t.start()
for t in threads:
    t.join()

# A desk still gets in afterwards (from an address of its own).
time.sleep(0.5)
ok = False
try:
    sock = socket.socket()
    sock.bind(("127.0.0.254", 0))
    sock.settimeout(20)
    sock.connect((ADDRESS, PORT))
    if TLS:
        sock = TLS_CONTEXT.wrap_socket(sock)
    sock.sendall(b"ZELQTCPCNT00" + PASSWORD + b"\x03")
    ok = sock.recv(100).startswith(b"ZELQTCPCNT00")
    sock.close()
except OSError as e:
    print("final log-in failed:", e)
print("netfuzz: %(connections)d connections, %(requests)d requests, %(resets)d resets" % counts,
      "- final log-in", "ok" if ok else "FAILED")
sys.exit(0 if ok else 1)
