#!/usr/bin/python3
"""A loopback SMTP server for the email tests, and a few broken servers.

usage: smtp-test-server.py FOLDER [--mode MODE] [--cert CERT --key KEY [--tls10] [--implicit-tls]]
                           [--auth USER PASSWORD] [--no-ehlo] [--interval SECONDS]

It listens on a free port of 127.0.0.1 and prints "port N" when ready. It ends on SIGTERM or SIGINT, or
when its standard input closes, so that it never outlives the test that started it.

Modes:
  smtp           a real server (aiosmtpd). Each accepted message goes to FOLDER/NNN.eml, after a few
                 "X-" lines that tell what the server saw (login, TLS version, envelope, greeting name);
                 every command line it reads is appended to FOLDER/transcript.txt, and "<closed>" when a
                 connection ends. With --cert and --key it offers STARTTLS (--tls10: TLS 1.0 only),
                 or with --implicit-tls speaks TLS from the first byte, as servers on port 465 do, and
                 offers no STARTTLS;
                 with --auth it requires AUTH; --no-ehlo refuses EHLO so that clients fall back to HELO.
  silent         accepts connections and never sends a byte.
  drip           sends an endless multi-line reply, one byte per --interval.
  long-line      sends "220 " and then a line that never ends.
  endless-reply  sends the lines of a multi-line reply without ever sending its last line.
  tls-stall      answers like a server up to its go-ahead for STARTTLS, then never does the handshake.
  slow           takes any message, but answers each line only --interval seconds after it came.
"""
import argparse
import warnings
import asyncio
import logging
import os
import signal
import socket
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

warnings.filterwarnings("ignore", category=DeprecationWarning)  # TLS 1.0 is what one mode is for

parser = argparse.ArgumentParser()
parser.add_argument("folder")
parser.add_argument("--mode", default="smtp", choices=["smtp", "silent", "drip", "long-line", "endless-reply", "tls-stall", "slow"])
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--tls10", action="store_true")
parser.add_argument("--implicit-tls", action="store_true")
parser.add_argument("--auth", nargs=2, metavar=("USER", "PASSWORD"))
parser.add_argument("--no-ehlo", action="store_true")
parser.add_argument("--interval", type=float, default=0.1)
args = parser.parse_args()
os.makedirs(args.folder, exist_ok=True)
transcript_path = os.path.join(args.folder, "transcript.txt")


def note(line):
    with open(transcript_path, "a", encoding="utf-8", errors="replace") as transcript:
        transcript.write(line + "\n")


class TranscriptHandler(logging.Handler):
    """Writes each command line the server reads; aiosmtpd logs them as '%r >> %r'."""

    def emit(self, record):
        if record.msg == "%r >> %r" and len(record.args) == 2:
            line = record.args[1]
            note(line.decode("utf-8", "replace") if isinstance(line, bytes) else str(line))
        elif record.msg == "%r connection lost":
            note("<closed>")


mail_log = logging.getLogger("mail.log")
mail_log.setLevel(logging.INFO)
mail_log.addHandler(TranscriptHandler())
mail_log.propagate = False


class Handler:
    async def handle_DATA(self, server, session, envelope):
        count = len([name for name in os.listdir(args.folder) if name.endswith(".eml")]) + 1
        ssl_object = server.transport.get_extra_info("ssl_object") if server.transport else None
        login = session.auth_data.login if isinstance(session.auth_data, LoginPassword) else b"-"
        path = os.path.join(args.folder, "%03d.eml" % count)
        with open(path + ".part", "wb") as message:
            message.write(b"X-Auth-User: %s\r\n" % login)
            message.write(b"X-TLS-Version: %s\r\n" % (ssl_object.version() if ssl_object else "-").encode())
            message.write(b"X-Mail-From: %s\r\n" % envelope.mail_from.encode())
            message.write(b"X-Rcpt-To: %s\r\n" % ",".join(envelope.rcpt_tos).encode())
            message.write(b"X-Greeting-Name: %s\r\n" % (session.host_name or "-").encode())
            message.write(envelope.original_content)
        os.rename(path + ".part", path)
        return "250 OK saved"


def authenticator(server, session, envelope, mechanism, auth_data):
    user, password = args.auth
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
          and auth_data.password == password.encode())
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


class TestSMTP(SMTP):
    async def smtp_EHLO(self, hostname):
        if args.no_ehlo:
            await self.push("502 5.5.1 EHLO not implemented")
            return
        await super().smtp_EHLO(hostname)

    def eof_received(self):
        # A client may end the connection right after its last line ("QUIT" without waiting for the
        # answer); aiosmtpd would drop lines that arrive together with the end, so they are read first.
        asyncio.StreamReaderProtocol.eof_received(self)
        return False


def tls_context():
    if not args.cert:
        return None
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    if args.tls10:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1
    return context


def smtp_factory():
    # With implicit TLS the listener does the TLS, and aiosmtpd, which knows TLS only from STARTTLS,
    # is told to offer no STARTTLS and to take AUTH on what is already a TLS connection.
    context = None if args.implicit_tls else tls_context()
    return TestSMTP(Handler(), hostname="quietmon-test", tls_context=context,
                    require_starttls=bool(context), authenticator=authenticator if args.auth else None,
                    auth_required=bool(args.auth), auth_require_tls=bool(context))


async def broken_server(reader, writer):
    try:
        if args.mode == "silent":
            await reader.read()
        elif args.mode == "drip":
            while True:
                for byte in b"220-slow\r\n":
                    writer.write(bytes([byte]))
                    await writer.drain()
                    await asyncio.sleep(args.interval)
        elif args.mode == "long-line":
            writer.write(b"220 ")
            while True:
                writer.write(b"x" * 4096)
                await writer.drain()
        elif args.mode == "endless-reply":
            while True:
                writer.write(b"220-still greeting\r\n" * 64)
                await writer.drain()
        elif args.mode == "slow":
            async def answer(text):
                await asyncio.sleep(args.interval)
                writer.write(text + b"\r\n")
                await writer.drain()
            await answer(b"220 slow but sure")
            while line := await reader.readline():
                note(line.decode("utf-8", "replace").rstrip("\r\n"))
                command = line.strip().upper()
                if command == b"DATA":
                    await answer(b"354 go on")
                    while (body := await reader.readline()) and body.rstrip(b"\r\n") != b".":
                        pass
                    await answer(b"250 saved")
                elif command == b"QUIT":
                    await answer(b"221 bye")
                    break
                else:
                    await answer(b"250 ok")
            note("<closed>")
        elif args.mode == "tls-stall":
            writer.write(b"220 ready\r\n")
            while line := await reader.readline():
                if line.upper().startswith(b"STARTTLS"):
                    writer.write(b"220 go ahead\r\n")
                    await writer.drain()
                    await reader.read()
                    break
                writer.write(b"250 ok\r\n")
                await writer.drain()
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        writer.close()


async def main():
    loop = asyncio.get_running_loop()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    if args.mode == "smtp":
        server = await loop.create_server(smtp_factory, sock=listener,
                                          ssl=tls_context() if args.implicit_tls else None)
    else:
        server = await asyncio.start_server(broken_server, sock=listener)

    done = loop.create_future()
    for number in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(number, lambda: done.done() or done.set_result(None))
    # The test's end closes our standard input, whatever way it ends.
    loop.add_reader(sys.stdin.fileno(),
                    lambda: os.read(sys.stdin.fileno(), 4096) or done.done() or done.set_result(None))
    print("port %d" % listener.getsockname()[1], flush=True)
    await done
    server.close()


asyncio.run(main())
