#!/usr/bin/python3
'''The watcher's autostart entry runs it, unless the systemd user unit is
the session's watcher: enabled, in a session that has started
graphical-session.target. The entry's command line is read and split as
GLib's launcher does, and run with stand-ins for systemctl and the watcher.
Usage: autostart_test.py ENTRY_TEMPLATE (packaging/orrelune-idle.desktop.in)
'''

import os
import subprocess
import sys
import tempfile

import gi

gi.require_version('Gio', '2.0')
gi.require_version('GLib', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

STAND_INS = {
    'orrelune-idle': '#!/bin/sh\necho ran >> "$WORK/ran"\n',
    # Answers as the user's systemd would: each question true when asked so.
    'systemctl': '#!/bin/sh\n'
                 'case "$*" in\n'
                 '*is-enabled*orrelune-idle.service*) [ "$ENABLED" = yes ] ;;\n'
                 '*is-active*graphical-session.target*) [ "$ACTIVE" = yes ] ;;\n'
                 '*) exit 1 ;;\n'
                 'esac\n',
}

CASES = [
    # (the unit is enabled, the session's target is active, the entry runs the watcher)
    ('no', 'no', True),
    ('yes', 'no', True),
    ('no', 'yes', True),
    ('yes', 'yes', False),
]


def main():
    template, = sys.argv[1:]
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        bindir = os.path.join(work, 'bin')
        os.mkdir(bindir)
        for name, text in STAND_INS.items():
            path = os.path.join(bindir, name)
            with open(path, 'w', encoding='utf-8') as stand_in:
                stand_in.write(text)
            os.chmod(path, 0o755)
        with open(template, encoding='utf-8') as source:
            entry = source.read().replace('@bindir@', bindir)
        path = os.path.join(work, 'orrelune-idle.desktop')
        with open(path, 'w', encoding='utf-8') as desktop:
            desktop.write(entry)
        info = Gio.DesktopAppInfo.new_from_filename(path)
        if info is None:
            print('autostart_test: the entry is not a valid desktop entry')
            return 1
        _, argv = GLib.shell_parse_argv(info.get_commandline())
        for enabled, active, runs in CASES:
            ran = os.path.join(work, 'ran')
            if os.path.exists(ran):
                os.remove(ran)
            env = dict(os.environ, PATH=bindir + ':/usr/bin:/bin', WORK=work, ENABLED=enabled, ACTIVE=active)
            subprocess.run(argv, env=env, check=False)
            if os.path.exists(ran) != runs:
                print(f'autostart_test: unit enabled {enabled}, target active {active}: '
                      f'the entry {"did not run" if runs else "ran"} the watcher')
                failures += 1
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
