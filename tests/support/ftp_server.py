"""An FTP server for the transfer tests, built on pyftpdlib, on 127.0.0.1.

Prints one line per event: "ready PORT", "held" / "released" (answers to the
"hold" / "release" commands read from standard input: while held, the data of
every upload is left unread), "cutting N" (answer to "cut N": the next
download's data connection is closed after N bytes, as a broken line would),
"cut" (that has happened), "receiving PATH" (a held upload has started) and
"received PATH" (an upload is complete). Ends when standard input closes.

Users: --user/--password may write anywhere under --home, "reader" (password
"reader") may only read. After login the working directory is --start-dir,
so that relative and absolute paths lead to different files.
"""

import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class Gate:
    held = False
    waiting = []
    cut_after = None  # bytes the next download may send before its line breaks


class HoldingDTPHandler(DTPHandler):
    def send(self, data):
        if Gate.cut_after is not None and not self.receive:
            room = Gate.cut_after - self.tot_bytes_sent
            if room <= 0:
                Gate.cut_after = None
                say("cut")
                self.close()
                return 0
            data = data[:room]
        return super().send(data)

    def enable_receiving(self, type, cmd):
        super().enable_receiving(type, cmd)
        if Gate.held:
            self.del_channel()
            Gate.waiting.append(self)
            say("receiving " + self.cmd_channel.fs.fs2ftp(self.file_obj.name))


class Handler(FTPHandler):
    dtp_handler = HoldingDTPHandler
    use_sendfile = False  # every byte of a download passes send(), where a cut can break it
    auth_failed_timeout = 0
    start_dir = "/"

    def on_login(self, username):
        self.fs.cwd = self.start_dir

    def on_file_received(self, file):
        say("received " + self.fs.fs2ftp(file))


class Commands:
    """Standard input, read by the server's own event loop."""

    def __init__(self, ioloop):
        self.ioloop = ioloop
        self.pending = b""
        ioloop.register(0, self, ioloop.READ)

    def readable(self):
        return True

    def handle_read_event(self):
        data = os.read(0, 4096)
        if not data:
            os._exit(0)
        self.pending += data
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            self.run(line.strip().decode())

    def run(self, command):
        if command == "hold":
            Gate.held = True
            say("held")
        elif command == "release":
            Gate.held = False
            waiting, Gate.waiting = Gate.waiting, []
            for channel in waiting:
                if not channel._closed:
                    channel.add_channel(events=self.ioloop.READ)
            say("released")
        elif command.startswith("cut "):
            Gate.cut_after = int(command[4:])
            say("cutting %d" % Gate.cut_after)

    def handle_error(self):
        os._exit(1)

    def handle_close(self):
        os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--start-dir", default="/")
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")
    authorizer.add_user("reader", "reader", args.home, perm="elr")
    Handler.authorizer = authorizer
    Handler.start_dir = args.start_dir
    Handler.masquerade_address = "127.0.0.1"

    server = FTPServer(("127.0.0.1", args.port), Handler)
    Commands(server.ioloop)
    say("ready %d" % server.socket.getsockname()[1])
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
