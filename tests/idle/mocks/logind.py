'''logind as the idle watcher meets it, for python3-dbusmock

dbusmock's own logind template, with the session "auto" (what GetSession
("auto") names: the caller's) and the manager's BlockInhibited, which the
inhibitors that Inhibit hands out keep up to date, as logind does: what
they inhibit in "block" mode, joined with colons, and a PropertiesChanged
signal each time that changes. `systemd-inhibit --what=idle` run against
this bus takes one.
'''

import os

import dbus
from gi.repository import GLib

from dbusmock import mockobject
from dbusmock.templates.logind import *  # noqa: F401,F403 (the template's methods)
from dbusmock.templates import logind

BUS_NAME = logind.BUS_NAME
MAIN_OBJ = logind.MAIN_OBJ
MAIN_IFACE = logind.MAIN_IFACE
SYSTEM_BUS = True


def load(mock, parameters):
    logind.load(mock, parameters)
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'BlockInhibited': '', 'DelayInhibited': ''}, signature='sv'))
    mock.AddSession('auto', 'seat0', dbus.UInt32(os.getuid()), 'user', True)


def _publish(manager):
    blocked = set()
    for what, _who, _why, mode, _uid, _pid in mockobject.inhibitors:
        if mode == 'block':
            blocked.update(what.split(':'))
    manager.UpdateProperties(MAIN_IFACE, {'BlockInhibited': dbus.String(':'.join(sorted(blocked)))})


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h')
def Inhibit(self, what, who, why, mode):
    if not hasattr(mockobject, 'inhibitors'):
        mockobject.inhibitors = []
    fd_r, fd_w = os.pipe()
    inhibitor = (what, who, why, mode, 1000, 123456)
    mockobject.inhibitors.append(inhibitor)
    _publish(self)

    def released(fd, _condition):
        os.close(fd)
        mockobject.inhibitors.remove(inhibitor)
        _publish(self)
        return False

    GLib.unix_fd_add_full(GLib.PRIORITY_HIGH, fd_r, GLib.IO_HUP, released)
    GLib.idle_add(os.close, fd_w)
    return fd_w
