#!/bin/sh
# Strips an installed program the way Debian's own packages are stripped,
# the compiler's notes included.
exec strip --remove-section=.comment --remove-section=.note --strip-unneeded "$@"
