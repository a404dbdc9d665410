#!/usr/bin/env bash
# Fuzzes the profile-file reader and editor: scripts/fuzz-profile.sh [seconds] (see fuzz.sh).
exec bash "$(dirname "$0")/fuzz.sh" profile "$@"
