#!/usr/bin/python3
"""Makes the certificates of the TLS tests in FOLDER.

usage: make-test-certificates.py FOLDER

authority.pem       a certificate authority of the test run's own; tests trust it through SSL_CERT_FILE
trusted.pem/.key    signed by it for localhost and 127.0.0.1, valid now
wrong-name.pem/.key signed by it, valid now, but for attacker.invalid
expired.pem/.key    signed by it for localhost and 127.0.0.1, expired yesterday
self-signed.pem/.key signed by itself for localhost and 127.0.0.1, valid now
NAME.sha256         each certificate's SHA-256 fingerprint as "openssl x509 -fingerprint -sha256" prints it
"""
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
now = datetime.datetime.now(datetime.timezone.utc)
day = datetime.timedelta(days=1)


def name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name),
                      x509.NameAttribute(NameOID.ORGANIZATION_NAME, "quietmon tests")])


def write(stem, certificate, key):
    with open(os.path.join(folder, stem + ".pem"), "wb") as out:
        out.write(certificate.public_bytes(serialization.Encoding.PEM))
    with open(os.path.join(folder, stem + ".key"), "wb") as out:
        out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                    serialization.NoEncryption()))
    digest = certificate.fingerprint(hashes.SHA256()).hex().upper()
    with open(os.path.join(folder, stem + ".sha256"), "w") as out:
        out.write(":".join(digest[i:i + 2] for i in range(0, len(digest), 2)) + "\n")


def certificate(subject, issuer, issuer_key, key, not_before, not_after, hosts, authority=False):
    builder = (x509.CertificateBuilder().subject_name(subject).issuer_name(issuer)
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(not_before).not_valid_after(not_after)
               .add_extension(x509.BasicConstraints(ca=authority, path_length=None), critical=True))
    if authority:
        builder = builder.add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False),
                                        critical=True)
    else:
        builder = builder.add_extension(x509.SubjectAlternativeName(hosts), critical=False)
    return builder.sign(issuer_key, hashes.SHA256())


local = [x509.DNSName("localhost"), x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]
authority_key = ec.generate_private_key(ec.SECP256R1())
authority_name = name("quietmon test authority")
authority = certificate(authority_name, authority_name, authority_key, authority_key, now - day, now + 2 * day,
                        [], authority=True)
write("authority", authority, authority_key)

for stem, hosts, not_before, not_after in [("trusted", local, now - day, now + day),
                                            ("wrong-name", [x509.DNSName("attacker.invalid")], now - day, now + day),
                                            ("expired", local, now - 10 * day, now - day)]:
    key = ec.generate_private_key(ec.SECP256R1())
    common_name = hosts[0].value if isinstance(hosts[0], x509.DNSName) else "localhost"
    write(stem, certificate(name(common_name), authority_name, authority_key, key, not_before, not_after, hosts), key)

key = ec.generate_private_key(ec.SECP256R1())
write("self-signed", certificate(name("localhost"), name("localhost"), key, key, now - day, now + day, local), key)
