#!/usr/bin/env python3
"""The Python peer of reply_text_bench: the same work on the same messages with the
standard library's email package (compat32 policy): decode Subject, From, To and Cc, find
the first text leaf, transfer-decode and convert it from its charset, quote it line by line.

    python_peer.py FOLDER      FOLDER holds message-SIZE.eml (reply_text_instructions --write)

Prints one JSON object: {"SIZE": microseconds per message, ...} (CPU time, best of five runs).
"""
import email
import email.header
import email.policy
import json
import os
import sys
import time
import timeit

SIGNATURE = "-- \r\nTaro Yamada"


def decoded(value):
    if value is None:
        return ""
    return str(email.header.make_header(email.header.decode_header(value)))


def reply_text(data):
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    subject = "RE:" + decoded(message["Subject"])
    sender = decoded(message["From"])
    to = ",".join(decoded(v) for v in message.get_all("To", []))
    cc = ",".join(decoded(v) for v in message.get_all("Cc", []))
    text = ""
    for part in message.walk():
        if not part.is_multipart() and part.get_content_maintype() == "text":
            payload = part.get_payload(decode=True) or b""
            charset = part.get_content_charset() or "iso-2022-jp"
            text = payload.decode(charset, errors="replace")
            break
    body = SIGNATURE + "\n" + "\n".join("> " + line for line in text.split("\r\n"))
    return len(subject) + len(sender) + len(to) + len(cc) + len(body)


def main():
    folder = sys.argv[1]
    names = sorted((f for f in os.listdir(folder) if f.startswith("message-")),
                   key=lambda f: int(f[len("message-"):-len(".eml")]))
    result = {}
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        timer = timeit.Timer(lambda: reply_text(data), timer=time.process_time)
        number, _ = timer.autorange()
        best = min(timer.repeat(repeat=5, number=number)) / number
        result[str(len(data))] = best * 1e6
    json.dump(result, sys.stdout)
    print()


if __name__ == "__main__":
    main()
