"""Who may send requests: HTTP Basic with one account, and OpenPegasus's local authentication,
where a client proves it runs as a user of this machine by reading a secret the server wrote
into a file only that user can read."""

import base64
import os
import re
import secrets
import threading

LOCAL = re.compile(r'^Local "([^":]*)(?::(.*):([^:"]*))?"$')
# The user's name becomes part of a file name.
USER_NAME = re.compile(r"^[A-Za-z0-9._-]{1,64}$")


def carried_authorization(headers):
    """What a request carried, for the journal (never the secret): Basic, Local-user,
    Local-secret or none."""
    if "authorization" in headers:
        return "Basic"
    local = LOCAL.match(headers.get("pegasusauthorization", ""))
    if local:
        return "Local-secret" if local.group(2) is not None else "Local-user"
    return "none"


class Authentication:
    def __init__(self, user, password, allow_anonymous, local_directory, realm):
        self.user = user
        self.password = password
        self.allow_anonymous = allow_anonymous
        self.local_directory = local_directory
        self.realm = realm
        self.lock = threading.Lock()
        self.challenges = {}  # secret file -> (user, secret)
        self.proven = set()   # connections let in by local authentication
        self.counter = 0
        if local_directory:
            os.makedirs(local_directory, mode=0o700, exist_ok=True)

    def required(self):
        return self.user is not None or self.local_directory is not None

    def refusal(self, connection, headers):
        """None when the request may run; otherwise the 401's header fields, in order."""
        if not self.required():
            return None
        with self.lock:
            if connection in self.proven:
                return None
        local = LOCAL.match(headers.get("pegasusauthorization", ""))
        if self.local_directory and local and "authorization" not in headers:
            return self.local_refusal(connection, *local.groups())
        given = headers.get("authorization")
        if given is not None:
            if self.basic_matches(given):
                return None
            return [("content-length", "0000000000"),
                    ("WWW-Authenticate", 'Basic realm="%s"' % self.realm)]
        if self.allow_anonymous:
            return None
        # cimserver names the reason only when no credentials came at all.
        return [("PGErrorDetail", "User%20Unauthorized"), ("content-length", "0000000000"),
                ("WWW-Authenticate", 'Basic realm="%s"' % self.realm)]

    def basic_matches(self, given):
        scheme, _, token = given.partition(" ")
        if self.user is None or scheme.lower() != "basic":
            return False
        try:
            user, _, password = base64.b64decode(token.strip()).decode("utf-8").partition(":")
        except (ValueError, UnicodeDecodeError):
            return False
        return user == self.user and password == (self.password or "")

    def local_refusal(self, connection, user, file_name, secret):
        if file_name is None:
            if not USER_NAME.match(user):
                return [("PGErrorDetail", "Invalid%20user%20name"),
                        ("content-length", "0000000000")]
            return [("PGErrorDetail", "User%20Unauthorized"), ("content-length", "0000000000"),
                    ("WWW-Authenticate", 'Local "%s"' % self.new_challenge(user))]
        with self.lock:
            expected = self.challenges.pop(file_name, None)
            if expected is not None and expected == (user, secret):
                self.proven.add(connection)
        if expected is not None:
            os.unlink(file_name)
            if expected == (user, secret):
                return None
        return [("content-length", "0000000000")]

    def new_challenge(self, user):
        """A fresh secret in a new file only this process's user can read; its path."""
        secret = secrets.token_hex(20).upper() + user + str(secrets.randbelow(10 ** 11))
        with self.lock:
            self.counter += 1
            name = os.path.join(self.local_directory, "cimclient_%s_%d_%s" % (
                user, self.counter, secrets.token_hex(4)))
            self.challenges[name] = (user, secret)
        descriptor = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(descriptor, "w", encoding="utf-8") as stream:
            stream.write(secret)
        return name

    def forget(self, connection):
        with self.lock:
            self.proven.discard(connection)
