#!/usr/bin/python3
# Radicale as Debian ships it, except that a new item's UID is looked up in a set of the
# calendar's UIDs instead of being compared with every item in it (as a server with a database
# index does). For the sync benchmark only: it shows what a first sync costs where the server's
# part does not grow with the calendar. Run with Radicale's own arguments.
import sys

import radicale.storage.multifilesystem as multifilesystem
from radicale.__main__ import run

_uids = {}  # a calendar's path -> the UIDs of its items
_upload = multifilesystem.Collection.upload
_delete = multifilesystem.Collection.delete


def has_uid(self, uid):
    known = _uids.get(self.path)
    if known is None:
        known = _uids[self.path] = {item.uid for item in self.get_all()}
    return uid in known


def upload(self, href, item):
    uploaded = _upload(self, href, item)
    if self.path in _uids:
        _uids[self.path].add(item.uid)
    return uploaded


def delete(self, href=None):
    _uids.pop(self.path, None)
    return _delete(self, href)


multifilesystem.Collection.has_uid = has_uid
multifilesystem.Collection.upload = upload
multifilesystem.Collection.delete = delete
sys.argv[0] = "radicale"
run()
