#!/usr/bin/env bash
# The newest entry of the Debian changelog and the newest release of the
# AppStream metainfo name the project's version, so a version bump cannot
# ship with release notes of the previous one.
#   check_release_notes.sh VERSION CHANGELOG METAINFO
set -euo pipefail
version="$1"
changelog_version="$(head -n 1 "$2" | sed -n 's/^quillmark (\([^)]*\)).*/\1/p')"
metainfo_version="$(grep -m 1 -o '<release version="[^"]*"' "$3" | cut -d'"' -f2)"
status=0
if [[ "$changelog_version" != "$version" ]]; then
  echo "$2: newest entry is '$changelog_version', the project is $version" >&2
  status=1
fi
if [[ "$metainfo_version" != "$version" ]]; then
  echo "$3: newest release is '$metainfo_version', the project is $version" >&2
  status=1
fi
exit $status
