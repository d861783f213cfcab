#!/usr/bin/python3
"""A real SMTP server on loopback for the mail tests.

Usage: smtp_peer.py OUTPUT_FOLDER

Listens on 127.0.0.1 on a free port and prints that port on its own line on stdout once it
accepts connections. Requires AUTH (over plain text, no TLS) and accepts only the report
account and its password. Every message it receives becomes one file "msg-N.txt" in
OUTPUT_FOLDER (written under a temporary name, then renamed, so a reader never sees half a
file):

    MAIL-FROM <envelope sender>
    RCPT-TO <one line per envelope recipient>
    LOGIN <account that authenticated>
    SUBJECT <Subject header as Python's mail parser decodes it>
    DATE <Date header as seconds since 1970, or "invalid">
    MESSAGE-ID <Message-ID header>
    DEFECTS <number of defects the parser found in the message and its headers>
    <empty line>
    <the message content exactly as received, with the SMTP dot-stuffing removed>

Runs until SIGTERM or until its stdin reaches end of file (the test process is gone).
"""

import email
import email.policy
import email.utils
import logging
import os
import socket
import sys
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

ACCOUNT = b"reports@zentiq.example"
PASSWORD = b"tolvinas"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword)
          and auth_data.login == ACCOUNT and auth_data.password == PASSWORD)
    # handled=False: aiosmtpd itself answers a refusal with "535 ... credentials invalid".
    return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)


def one_line(text):
    return text.replace("\r", "\\r").replace("\n", "\\n")


class RecordingHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        content = envelope.original_content
        parsed = email.message_from_bytes(content, policy=email.policy.default)
        defects = len(parsed.defects)
        for name in parsed.keys():
            defects += len(getattr(parsed[name], "defects", ()))
        try:
            date = str(int(email.utils.parsedate_to_datetime(parsed["date"]).timestamp()))
        except (TypeError, ValueError):
            date = "invalid"
        login = session.auth_data.decode() if isinstance(session.auth_data, bytes) else ""
        lines = ["MAIL-FROM " + envelope.mail_from]
        lines += ["RCPT-TO " + rcpt for rcpt in envelope.rcpt_tos]
        lines += ["LOGIN " + login,
                  "SUBJECT " + one_line(str(parsed["subject"] or "")),
                  "DATE " + date,
                  "MESSAGE-ID " + one_line(str(parsed["message-id"] or "")),
                  "DEFECTS " + str(defects),
                  ""]
        record = "\n".join(lines).encode() + b"\n" + content
        with self.lock:
            self.count += 1
            name = os.path.join(self.folder, "msg-%d.txt" % self.count)
        with open(name + ".part", "wb") as out:
            out.write(record)
        os.rename(name + ".part", name)
        return "250 OK"


class BoundController(Controller):
    """A Controller on a socket bound beforehand, so port 0 gives a free port without a race."""

    def __init__(self, handler, sock, **kwargs):
        super().__init__(handler, hostname="127.0.0.1", port=sock.getsockname()[1], **kwargs)
        self.sock = sock

    def _create_server(self):
        return self.loop.create_server(self._factory_invoker, sock=self.sock)


def main():
    # aiosmtpd warns that AUTH without TLS is allowed: that is what the tests want.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    folder = sys.argv[1]
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    controller = BoundController(RecordingHandler(folder), sock,
                                 authenticator=authenticate, auth_required=True,
                                 auth_require_tls=False)
    controller.start()
    print(controller.port, flush=True)
    sys.stdin.buffer.read()
    controller.stop()


if __name__ == "__main__":
    main()
