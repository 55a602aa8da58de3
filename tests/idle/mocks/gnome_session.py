'''GNOME's session manager as the idle watcher meets it, for python3-dbusmock

Inhibit, Uninhibit and IsInhibited over the inhibitors' flags, with the
InhibitorAdded and InhibitorRemoved signals.
'''

import dbus

BUS_NAME = 'org.gnome.SessionManager'
MAIN_OBJ = '/org/gnome/SessionManager'
MAIN_IFACE = 'org.gnome.SessionManager'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.inhibitors = {}  # cookie: flags
    mock.next_cookie = 1


def _path(cookie):
    return dbus.ObjectPath(f'/org/gnome/SessionManager/Inhibitor{cookie}')


@dbus.service.method(MAIN_IFACE, in_signature='susu', out_signature='u')
def Inhibit(self, _app_id, _toplevel_xid, _reason, flags):
    cookie = self.next_cookie
    self.next_cookie += 1
    self.inhibitors[cookie] = flags
    self.EmitSignal(MAIN_IFACE, 'InhibitorAdded', 'o', [_path(cookie)])
    return dbus.UInt32(cookie)


@dbus.service.method(MAIN_IFACE, in_signature='u', out_signature='')
def Uninhibit(self, cookie):
    if self.inhibitors.pop(cookie, None) is not None:
        self.EmitSignal(MAIN_IFACE, 'InhibitorRemoved', 'o', [_path(cookie)])


@dbus.service.method(MAIN_IFACE, in_signature='u', out_signature='b')
def IsInhibited(self, flags):
    return any(held & flags for held in self.inhibitors.values())
