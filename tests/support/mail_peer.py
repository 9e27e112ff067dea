#!/usr/bin/python3
"""Mail server peer for the mail tests: aiosmtpd on a loopback address.

Every event the tests look at goes as one JSON object per line into the
--out file:
  {"event": "connect"}                          a client connected
  {"event": "auth", "mechanism": M, "login": L, "success": true|false}
  {"event": "rcpt-refused", "address": A}
  {"event": "mail", "mail_from": F, "rcpt_tos": [...], "data_b64": B,
   "auth_mechanism": M, "auth_login": L}         a mail was accepted; B is the
                                                 content as received, dots
                                                 un-stuffed, final dot line off
  {"event": "raw", "received_b64": B}            raw modes: all a client sent

Modes:
  accept     AUTH PLAIN, LOGIN and CRAM-MD5 offered, not required; every mail taken
  plain      only AUTH PLAIN offered, and required
  cram       only AUTH CRAM-MD5 offered, and required
  noauth     no AUTH offered; every mail taken
  refuse2    like noauth, but the second recipient of a transaction gets 550
  multiline  like noauth, with a two-line greeting and two-line RCPT replies
  reject554  raw: the greeting is 554; QUIT gets 221, anything else 503
  silent     raw: accepts the connection and never says anything

Security (--tls): none (default); starttls: STARTTLS offered and required
before MAIL and AUTH; tls: TLS from the first byte (SMTPS). Both take the
certificate and key of --cert and --key.

"ready" is printed on standard output once the server listens. The peer ends
by itself when its parent process ends or after --max-lifetime seconds.
"""

import argparse
import asyncio
import base64
import ctypes
import hmac
import json
import os
import secrets
import signal
import ssl
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword, MISSING, auth_mechanism

HOSTNAME = "qav-test-peer"


class Recorder:
    def __init__(self, path):
        self._path = path
        self._lock = threading.Lock()

    def write(self, **record):
        line = json.dumps(record, ensure_ascii=True)
        with self._lock:
            with open(self._path, "a", encoding="ascii") as out:
                out.write(line + "\n")
                out.flush()


class PeerSMTP(SMTP):
    """aiosmtpd's SMTP with CRAM-MD5 (RFC 2195) and an optional two-line greeting."""

    def __init__(self, handler, *, peer_options, **kwargs):
        self._peer = peer_options
        self._greeted = False
        super().__init__(handler, **kwargs)

    def connection_made(self, transport):
        self._peer["recorder"].write(event="connect")
        super().connection_made(transport)

    async def push(self, status):
        if self._peer["multiline"] and not self._greeted and str(status).startswith("220 "):
            self._greeted = True
            await super().push("220-" + HOSTNAME + " first line of a two-line greeting")
        await super().push(status)

    @auth_mechanism("CRAM-MD5")
    async def auth_CRAM_MD5(self, _, args):
        challenge = "<{}.{}@{}>".format(secrets.randbelow(10**9), int(time.time()), HOSTNAME).encode()
        response = await self.challenge_auth(challenge)
        if response is MISSING:
            return AuthResult(success=False, handled=False)
        login, _, digest = response.partition(b" ")
        expected = hmac.new(self._peer["password"].encode(), challenge, "md5").hexdigest().encode()
        ok = login.decode(errors="replace") == self._peer["user"] and hmac.compare_digest(digest, expected)
        self._peer["recorder"].write(event="auth", mechanism="CRAM-MD5", login=login.decode(errors="replace"),
                                     success=ok)
        if not ok:
            return AuthResult(success=False, handled=False)
        return AuthResult(success=True, auth_data={"mechanism": "CRAM-MD5", "login": login.decode()})


class Handler:
    def __init__(self, options):
        self._options = options
        self._recorder = options["recorder"]

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        login = ""
        ok = False
        if isinstance(auth_data, LoginPassword):
            login = auth_data.login.decode(errors="replace")
            ok = login == self._options["user"] and auth_data.password.decode(errors="replace") == self._options["password"]
        self._recorder.write(event="auth", mechanism=mechanism, login=login, success=ok)
        if not ok:
            return AuthResult(success=False, handled=False)
        return AuthResult(success=True, auth_data={"mechanism": mechanism, "login": login})

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self._options["mode"] == "refuse2" and len(envelope.rcpt_tos) >= 1:
            self._recorder.write(event="rcpt-refused", address=address)
            return "550 5.1.1 Second recipient refused"
        envelope.rcpt_tos.append(address)
        if self._options["mode"] == "multiline":
            return "250-Recipient noted\r\n250 OK"
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        auth = session.auth_data if isinstance(session.auth_data, dict) else {}
        self._recorder.write(event="mail", mail_from=envelope.mail_from, rcpt_tos=list(envelope.rcpt_tos),
                             data_b64=base64.b64encode(envelope.original_content or b"").decode(),
                             auth_mechanism=auth.get("mechanism", ""), auth_login=auth.get("login", ""))
        return "250 OK: queued"


class PeerController(Controller):
    def __init__(self, handler, options, **kwargs):
        self._options = options
        super().__init__(handler, **kwargs)

    def factory(self):
        return PeerSMTP(self.handler, peer_options=self._options, **self.SMTP_kwargs)


async def raw_server(options):
    recorder = options["recorder"]

    async def client(reader, writer):
        recorder.write(event="connect")
        received = b""
        try:
            if options["mode"] == "reject554":
                writer.write(b"554 5.3.2 " + HOSTNAME.encode() + b" no mail service here\r\n")
                await writer.drain()
            while True:
                line = await reader.readline()
                if not line:
                    break
                received += line
                if options["mode"] == "reject554":
                    if line.strip().upper() == b"QUIT":
                        writer.write(b"221 Bye\r\n")
                        await writer.drain()
                        break
                    writer.write(b"503 5.5.1 No service\r\n")
                    await writer.drain()
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            recorder.write(event="raw", received_b64=base64.b64encode(received).decode())
            writer.close()

    server = await asyncio.start_server(client, options["address"], options["port"])
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


def watchdog(max_lifetime):
    parent = os.getppid()
    deadline = time.monotonic() + max_lifetime
    while True:
        if os.getppid() != parent or time.monotonic() > deadline:
            os._exit(0)
        time.sleep(0.2)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--mode", required=True,
                        choices=["accept", "plain", "cram", "noauth", "refuse2", "multiline", "reject554", "silent"])
    parser.add_argument("--out", required=True)
    parser.add_argument("--user", default="qav")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--max-lifetime", type=float, default=120.0)
    parser.add_argument("--tls", choices=["none", "starttls", "tls"], default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    if not args.address.startswith("127."):
        sys.exit("mail_peer: loopback addresses only")
    try:
        # Ask the kernel to end this process with its parent as well.
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass
    threading.Thread(target=watchdog, args=(args.max_lifetime,), daemon=True).start()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))

    options = {
        "mode": args.mode,
        "address": args.address,
        "port": args.port,
        "user": args.user,
        "password": args.password,
        "recorder": Recorder(args.out),
        "multiline": args.mode == "multiline",
    }
    open(args.out, "w").close()

    if args.mode in ("reject554", "silent"):
        asyncio.run(raw_server(options))
        return

    handler = Handler(options)
    smtp_args = {"auth_require_tls": False, "authenticator": handler.authenticate}
    if args.mode == "accept":
        pass
    elif args.mode == "plain":
        smtp_args.update(auth_required=True, auth_exclude_mechanism=["LOGIN", "CRAM-MD5"])
    elif args.mode == "cram":
        smtp_args.update(auth_required=True, auth_exclude_mechanism=["LOGIN", "PLAIN"])
    else:
        # No AUTH in the EHLO answer at all.
        smtp_args = {}
    tls_args = {}
    if args.tls != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        if args.tls == "starttls":
            tls_args = {"tls_context": context, "require_starttls": True}
            smtp_args.pop("auth_require_tls", None)  # credentials only after STARTTLS
        else:
            tls_args = {"ssl_context": context}
    controller = PeerController(handler, options, hostname=args.address, port=args.port,
                                server_hostname=HOSTNAME, ready_timeout=10, **tls_args, **smtp_args)
    controller.start()
    # The controller's own start-up connection is no client of the test.
    open(args.out, "w").close()
    print("ready", flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
