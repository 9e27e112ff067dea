#!/usr/bin/python3
# An FTP server for the download tool's tests (pyftpdlib): one user whose
# password comes from the environment (QAV_TEST_FTP_PASSWORD), read-only,
# on ADDRESS and a free port; prints "ready PORT" once it listens and stops
# by itself after the given number of seconds.
#   ftp_peer.py ADDRESS FOLDER USER SECONDS
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    address, folder, user, seconds = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, os.environ.get("QAV_TEST_FTP_PASSWORD", ""), folder, perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer((address, 0), handler)
    port = server.socket.getsockname()[1]
    print("ready %d" % port, flush=True)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        server.serve_forever(timeout=0.2, blocking=False)
    server.close_all()


if __name__ == "__main__":
    main()
