#!/usr/bin/env python3
"""A real SMTP server (aiosmtpd) that saves every message, and a reader that
decodes a saved message with Python's email package. Used by the mail
delivery tests; listens on 127.0.0.1 only and stops by itself.

  mail_sink.py serve FOLDER SECONDS [PORT] [OPTION=VALUE...]
        prints the port (PORT 0: any free one), saves FOLDER/mailN.eml,
        stops when stdin closes or SECONDS pass. Options: starttls=CERT,KEY
        implicit=CERT,KEY login=USER:PASSWORD size=BYTES only=MECHANISM
  mail_sink.py decode MESSAGE FOLDER  writes subject.txt, body.txt, rcpt.txt,
                                      defects.txt and each attachment by its name
"""
import asyncio
import email
import email.policy
import os
import sys

import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class SaveHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, "mail%d" % self.count)
        with open(path + ".rcpt", "w", encoding="utf-8") as f:
            f.write("\n".join(envelope.rcpt_tos))
        with open(path + ".tmp", "wb") as f:
            f.write(envelope.content)
        os.rename(path + ".tmp", path + ".eml")  # complete when it appears
        return "250 Message accepted for delivery"


def tls_context(files):
    cert, key = files.split(",")
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


class OneUser:
    """Accepts the one user and password; records every login tried."""

    def __init__(self, folder, user, password):
        self.folder, self.user, self.password = folder, user, password

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and \
            auth_data.login.decode() == self.user and \
            auth_data.password.decode() == self.password
        with open(os.path.join(self.folder, "logins.txt"), "a", encoding="utf-8") as f:
            f.write("%s %s\n" % (mechanism, "ok" if ok else "refused"))
        # Not "handled": aiosmtpd then answers a refusal with 535 itself
        # instead of leaving the client waiting for a reply that never comes.
        return AuthResult(success=ok, handled=False)


async def serve(folder, seconds, port=0, options=()):
    loop = asyncio.get_running_loop()
    handler = SaveHandler(folder)
    opts = dict(o.split("=", 1) for o in options)
    kwargs = {"hostname": "sink.test"}
    ssl_context = None
    if "starttls" in opts:
        kwargs["tls_context"] = tls_context(opts["starttls"])
        kwargs["require_starttls"] = False
    if "implicit" in opts:
        ssl_context = tls_context(opts["implicit"])
    if "size" in opts:
        kwargs["data_size_limit"] = int(opts["size"])
    if "login" in opts:
        user, password = opts["login"].split(":", 1)
        kwargs["authenticator"] = OneUser(folder, user, password)
        kwargs["auth_require_tls"] = False
    if "only" in opts:
        kwargs["auth_exclude_mechanism"] = [m for m in ("PLAIN", "LOGIN") if m != opts["only"]]
    server = await loop.create_server(
        lambda: SMTP(handler, **kwargs), "127.0.0.1", port, ssl=ssl_context)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop.add_reader(sys.stdin.fileno(), stop.set)  # readable at end of input
    try:
        await asyncio.wait_for(stop.wait(), seconds)
    except asyncio.TimeoutError:
        pass
    server.close()
    await server.wait_closed()


def decode(message_path, folder):
    with open(message_path, "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=email.policy.default)
    defects = [str(d) for d in msg.defects]
    parts = list(msg.iter_parts()) if msg.is_multipart() else [msg]
    text = parts[0]
    with open(os.path.join(folder, "subject.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(str(msg["subject"]))
    with open(os.path.join(folder, "body.txt"), "w", encoding="utf-8", newline="") as f:
        f.write(text.get_content())
    for part in parts[1:]:
        defects += [str(d) for d in part.defects]
        with open(os.path.join(folder, part.get_filename()), "wb") as f:
            f.write(part.get_payload(decode=True))
    with open(os.path.join(folder, "defects.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(defects))


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "serve":
        port = int(sys.argv[4]) if len(sys.argv) > 4 else 0
        asyncio.run(serve(sys.argv[2], float(sys.argv[3]), port, sys.argv[5:]))
    elif len(sys.argv) == 4 and sys.argv[1] == "decode":
        decode(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
