#!/usr/bin/env python3
"""A real SMTP server (aiosmtpd) that saves every message, and a reader that
decodes a saved message with Python's email package. Used by the mail
delivery tests; listens on 127.0.0.1 only and stops by itself.

  mail_sink.py serve FOLDER SECONDS   prints the port, saves FOLDER/mailN.eml,
                                      stops when stdin closes or SECONDS pass
  mail_sink.py decode MESSAGE FOLDER  writes subject.txt, body.txt, rcpt.txt,
                                      defects.txt and each attachment by its name
"""
import asyncio
import email
import email.policy
import os
import sys

from aiosmtpd.smtp import SMTP


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


async def serve(folder, seconds):
    loop = asyncio.get_running_loop()
    handler = SaveHandler(folder)
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="sink.test"), "127.0.0.1", 0)
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
    if len(sys.argv) == 4 and sys.argv[1] == "serve":
        asyncio.run(serve(sys.argv[2], float(sys.argv[3])))
    elif len(sys.argv) == 4 and sys.argv[1] == "decode":
        decode(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
