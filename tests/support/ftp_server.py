"""A real FTP server for the tests: pyftpdlib on 127.0.0.1, on a port the system picks.

Prints "READY <port>" on standard output once it listens. Every command it receives is written,
flushed, to the log file as "<user> <COMMAND> <argument>" before it is answered (the argument of
PASS is written as "***"), so a test that got a reply can read what the server saw.

Users: --user NAME:PASSWORD:HOME[:START], HOME relative to --root; START is the directory a
login starts in (what PWD answers), below HOME. Faults on demand: --refuse-store NAME answers
STOR of that file name with 553, --stall-store NAME never answers STOR of that name,
--drop-after-store NAME hangs up at the next command after storing that name, --refuse-passive
answers PASV and EPSV with 502, --quote-password refuses a wrong password with "530 Login incorrect
for <password>", quoting it as some servers do. --tls-cert/--tls-key: explicit TLS required on control and data.
--make-cert DIR writes ca.pem, other-ca.pem, server.pem and server.key there and exits.
"""

import argparse
import datetime
import os
import sys


def make_certificates(folder):
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID
    import ipaddress

    now = datetime.datetime.now(datetime.timezone.utc)

    def name(text):
        return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])

    def authority(text):
        key = ec.generate_private_key(ec.SECP256R1())
        cert = (x509.CertificateBuilder().subject_name(name(text)).issuer_name(name(text))
                .public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(days=1))
                .not_valid_after(now + datetime.timedelta(days=30))
                .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                .sign(key, hashes.SHA256()))
        return key, cert

    def write(path, data):
        with open(os.path.join(folder, path), "wb") as out:
            out.write(data)

    ca_key, ca_cert = authority("Test Authority")
    _, other_cert = authority("Other Authority")
    key = ec.generate_private_key(ec.SECP256R1())
    cert = (x509.CertificateBuilder().subject_name(name("127.0.0.1")).issuer_name(ca_cert.subject)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1))
            .not_valid_after(now + datetime.timedelta(days=30))
            .add_extension(x509.SubjectAlternativeName(
                [x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .sign(ca_key, hashes.SHA256()))
    pem = serialization.Encoding.PEM
    write("ca.pem", ca_cert.public_bytes(pem))
    write("other-ca.pem", other_cert.public_bytes(pem))
    write("server.pem", cert.public_bytes(pem))
    write("server.key", key.private_bytes(pem, serialization.PrivateFormat.TraditionalOpenSSL,
                                          serialization.NoEncryption()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root")
    parser.add_argument("--log")
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--refuse-store", action="append", default=[])
    parser.add_argument("--stall-store", action="append", default=[])
    parser.add_argument("--drop-after-store", action="append", default=[])
    parser.add_argument("--refuse-passive", action="store_true")
    parser.add_argument("--quote-password", action="store_true")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--make-cert")
    args = parser.parse_args()

    if args.make_cert:
        make_certificates(args.make_cert)
        return

    import logging
    from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    log = open(args.log, "a", encoding="utf-8", buffering=1)
    authorizer = DummyAuthorizer()
    starts = {}
    for user_arg in args.user:
        parts = user_arg.split(":")
        user, password, home = parts[0], parts[1], parts[2]
        home_path = os.path.join(args.root, home)
        os.makedirs(home_path, exist_ok=True)
        authorizer.add_user(user, password, home_path, perm="elradfmwMT")
        if len(parts) > 3 and parts[3]:
            start = "/" + parts[3].strip("/")
            os.makedirs(os.path.join(home_path, start.lstrip("/")), exist_ok=True)
            starts[user] = start

    base = TLS_FTPHandler if args.tls_cert else FTPHandler

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            shown = "***" if cmd == "PASS" else (arg or "")
            log.write("%s %s %s\n" % (self.username or "-", cmd, shown))
            log.flush()
            if getattr(self, "drop_next", False):
                self.close()  # hangs up without a reply, as a server that dropped the line
                return
            name = os.path.basename(arg or "")
            if cmd == "STOR" and name in args.stall_store:
                return  # never answered
            if cmd == "STOR" and name in args.refuse_store:
                self.respond("553 Storing this file is refused.")
                return
            if cmd == "PASS" and args.quote_password:
                try:
                    self.authorizer.validate_authentication(self.username, arg, self)
                except AuthenticationFailed:
                    self.respond("530 Login incorrect for %s" % arg)
                    return
            if cmd in ("PASV", "EPSV") and args.refuse_passive:
                self.respond("502 Passive mode is switched off here.")
                return
            return super().pre_process_command(line, cmd, arg)

        def on_login(self, username):
            if username in starts:
                self.fs.cwd = starts[username]

        def on_file_received(self, file):
            if os.path.basename(file) in args.drop_after_store:
                self.drop_next = True

    if args.tls_cert:
        class DataHandler(TLS_DTPHandler):
            # A client may start the data channel's TLS handshake before it sends the transfer
            # command (libcurl does); pyftpdlib would take that early data for a hang-up.
            def readable(self):
                if not self.receive and not self._initialized:
                    return bool(getattr(self, "_ssl_accepting", False))
                return super().readable()

        Handler.dtp_handler = DataHandler

    Handler.authorizer = authorizer
    Handler.passive_ports = None
    Handler.auth_failed_timeout = 0  # a wrong password is answered at once
    if args.tls_cert:
        Handler.certfile = args.tls_cert
        Handler.keyfile = args.tls_key
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("READY %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
