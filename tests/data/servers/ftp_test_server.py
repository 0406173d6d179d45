#!/usr/bin/python3
"""Loopback FTP server for the DE406 download's tests (Debian's python3-pyftpdlib).

Usage: ftp_test_server.py ROOT
Serves ROOT read-only to the user "ftp" with an empty password on 127.0.0.1,
on a free port, and prints "PORT <n>" on one line.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("ftp", "", sys.argv[1], perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
