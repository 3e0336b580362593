#!/usr/bin/python3
"""A mail server for the tests (Debian's python3 with aiosmtpd).

Listens on 127.0.0.1 on a free port (or --port) and prints "PORT <n>" on stdout (and
into --port-file when given). Every message it accepts is written into
--out as message-<n>.json: {"mail_from", "rcpt_tos", "data" (base64 of the
bytes as received, dots undoubled), "tls", "authenticated"}.

  smtpserver.py --out DIR [--security plain|starttls|tls --cert C --key K]
                [--user U --password P] [--refuse ADDR] [--defer ADDR] [--noisy ADDR]

--refuse answers RCPT for that address with 550, --defer with 451, --noisy
with a 550 of 2000 characters and terminal escapes. With
--user, a login is required before MAIL (over TLS only, as usual).
"""

import argparse
import asyncio
import base64
import itertools
import json
import logging
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.args.refuse and address.lower() == self.args.refuse.lower():
            return "550 5.1.1 <%s>: no such mailbox here" % address
        if self.args.defer and address.lower() == self.args.defer.lower():
            return "451 4.3.0 Mailbox busy, try again later"
        if self.args.noisy and address.lower() == self.args.noisy.lower():
            # A hostile server: a long refusal full of terminal escapes.
            return "550 5.1.1 \x1b[31m" + "refused " * 250 + "\x07\x1b]0;owned\x07"
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content).decode("ascii"),
            "tls": session.ssl is not None or self.args.security == "tls",
            "authenticated": bool(session.authenticated),
        }
        # Named by the process too: a server started again on the same
        # folder adds to what the one before took.
        path = os.path.join(self.args.out, "message-%d-%06d.json" % (os.getpid(), next(self.count)))
        with open(path + ".part", "w") as f:
            json.dump(record, f)
        os.rename(path + ".part", path)
        return "250 2.0.0 Accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--security", choices=["plain", "starttls", "tls"], default="plain")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--refuse")
    parser.add_argument("--defer")
    parser.add_argument("--noisy")
    parser.add_argument("--port-file")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    context = None
    if args.security != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == args.user.encode()
              and auth_data.password == args.password.encode())
        return AuthResult(success=ok, handled=False)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    handler = Handler(args)

    def factory():
        options = {}
        if args.security == "starttls":
            options.update(tls_context=context, require_starttls=True)
        if args.user:
            # Implicit TLS is encrypted from the start, which aiosmtpd's own
            # check of STARTTLS can't see.
            options.update(authenticator=authenticator, auth_required=True,
                           auth_require_tls=args.security != "tls")
        return SMTP(handler, hostname="mail.test", loop=loop, **options)

    server = loop.run_until_complete(loop.create_server(
        factory, host="127.0.0.1", port=args.port, reuse_address=True, ssl=context if args.security == "tls" else None))
    port = server.sockets[0].getsockname()[1]
    if args.port_file:
        with open(args.port_file + ".part", "w") as f:
            f.write("%d\n" % port)
        os.rename(args.port_file + ".part", args.port_file)
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
