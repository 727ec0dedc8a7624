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
    """Judges every request on its own, as cimserver does: a connection that answered a local
    challenge is let in only for requests that carry that answer again."""

    def __init__(self, user, password, allow_anonymous, local_directory, realm):
        self.user = user
        self.password = password
        self.allow_anonymous = allow_anonymous
        self.local_directory = local_directory
        self.realm = realm
        self.lock = threading.Lock()
        # connection -> [user, secret file, secret, answered]: the connection's one challenge
        self.challenges = {}
        self.counter = 0
        if local_directory:
            os.makedirs(local_directory, mode=0o700, exist_ok=True)

    def required(self):
        return self.user is not None or self.local_directory is not None

    def refusal(self, connection, headers):
        """None when the request may run; otherwise the 401's header fields, in order."""
        if not self.required():
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
        if not USER_NAME.match(user):
            return [("PGErrorDetail", "Invalid%20user%20name"), ("content-length", "0000000000")]
        with self.lock:
            challenge = self.challenges.get(connection)
            own = file_name is not None and challenge is not None and challenge[1] == file_name
            passes = own and challenge[0] == user and challenge[2] == secret
            answered_now = passes and not challenge[3]
            if passes:
                challenge[3] = True
        if passes:
            if answered_now:
                _remove(file_name)
            return None
        if own:
            # A wrong answer to this connection's own challenge: a new one, without a reason.
            return [("content-length", "0000000000"),
                    ("WWW-Authenticate", 'Local "%s"' % self.new_challenge(connection, user))]
        # A first request, or an answer to a challenge that is not this connection's.
        return [("PGErrorDetail", "User%20Unauthorized"), ("content-length", "0000000000"),
                ("WWW-Authenticate", 'Local "%s"' % self.new_challenge(connection, user))]

    def new_challenge(self, connection, user):
        """A fresh secret in a new file only this process's user can read, in place of the
        connection's earlier challenge; its path."""
        secret = secrets.token_hex(20).upper() + user + str(secrets.randbelow(10 ** 11))
        with self.lock:
            self.counter += 1
            name = os.path.join(self.local_directory, "cimclient_%s_%d_%s" % (
                user, self.counter, secrets.token_hex(4)))
            earlier = self.challenges.get(connection)
            self.challenges[connection] = [user, name, secret, False]
        if earlier is not None and not earlier[3]:
            _remove(earlier[1])
        descriptor = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(descriptor, "w", encoding="utf-8") as stream:
            stream.write(secret)
        return name

    def forget(self, connection):
        with self.lock:
            challenge = self.challenges.pop(connection, None)
        if challenge is not None and not challenge[3]:
            _remove(challenge[1])


def _remove(file_name):
    try:
        os.unlink(file_name)
    except FileNotFoundError:
        pass
