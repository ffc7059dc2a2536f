#!/usr/bin/env python3
"""A real FTP server on 127.0.0.1 for the protocol tests (pyftpdlib).

It binds port 0 so that the kernel picks a free port, then prints
"PORT <number>" on stdout: the test fixture waits for that line instead of
guessing a port, which avoids races between parallel test programs.

The server stops on SIGTERM, on SIGKILL of course, and also when its standard
input reaches end of file, i.e. when the test program that started it is gone.
"""

import argparse
import json
import logging
import os
import sys
import threading
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

FULL_PERMISSIONS = "elradfmwMT"


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--config", required=True, help=(
        'JSON object: {"root": folder served, "anonymous_perm": permissions or null '
        'for no anonymous login, "users": [{"name", "password", "home" (relative to '
        'root), "perm"}], "banner": text or null, "verbose": log every command, '
        '"download_limit": bytes per second sent to clients, or absent for no limit}'))
    return json.loads(parser.parse_args().config)


def home_inside_root(root, home):
    path = os.path.realpath(os.path.join(root, home))
    if os.path.commonpath([root, path]) != root:
        sys.exit("home folder %r leaves the root folder" % home)
    os.makedirs(path, exist_ok=True)
    return path


def stop_when_parent_goes():
    # Standard input is a pipe from the test program: end of file means that
    # it exited or crashed, and nobody will ever stop this server otherwise.
    def watch():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except (OSError, ValueError):
            pass
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def main():
    config = parse_arguments()
    level = logging.INFO if config.get("verbose") else logging.WARNING
    logging.basicConfig(level=level, stream=sys.stderr,
                        format="pyftpd %(levelname)s %(message)s")
    logging.getLogger("pyftpdlib").setLevel(level)
    # Writable anonymous access is what the upload tests want.
    warnings.filterwarnings("ignore", message="write permissions assigned to anonymous user")

    root = os.path.realpath(config["root"])
    if not os.path.isdir(root):
        sys.exit("root folder %r does not exist" % config["root"])

    authorizer = DummyAuthorizer()
    anonymous_perm = config.get("anonymous_perm", FULL_PERMISSIONS)
    if anonymous_perm is not None:
        authorizer.add_anonymous(root, perm=anonymous_perm)
    for user in config.get("users", []):
        authorizer.add_user(user["name"], user["password"],
                            home_inside_root(root, user.get("home", "")),
                            perm=user.get("perm", FULL_PERMISSIONS))

    class Handler(FTPHandler):
        pass

    if config.get("download_limit"):
        # A slow line, so that a transfer can be watched while it runs.
        class Throttled(ThrottledDTPHandler):
            write_limit = int(config["download_limit"])
        Handler.dtp_handler = Throttled

    Handler.authorizer = authorizer
    # A wrong password is answered at once: the tests need no brute-force delay.
    Handler.auth_failed_timeout = 0
    if config.get("banner") is not None:
        Handler.banner = config["banner"]

    server = FTPServer(("127.0.0.1", 0), Handler)
    stop_when_parent_goes()
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
